#include "platform/process/LoginShell.hpp"

#include <array>
#include <string_view>
#include <unistd.h>

namespace kestrava::process {

std::string loginShellPath(const char* shellVariable) {
    constexpr std::array<std::string_view, 4> accepted{"/bin/zsh", "/bin/bash", "/usr/bin/zsh",
                                                       "/usr/bin/bash"};
    for (const std::string_view shell : accepted) {
        if (shellVariable && shell == shellVariable) {
            return std::string(shell);
        }
    }
    return ::access("/bin/zsh", X_OK) == 0 ? "/bin/zsh" : "/bin/bash";
}

} // namespace kestrava::process
