#include "app/system/ApplicationFolder.hpp"

#include <algorithm>

namespace kestrava::app {

std::filesystem::path applicationFolder(const std::filesystem::path& executableFolder,
                                        const std::optional<std::filesystem::path>& agentExecutable) {
    const std::filesystem::path parent = executableFolder.parent_path();
    if (!agentExecutable || parent == executableFolder.root_path()) {
        return executableFolder;
    }
    const std::filesystem::path agent = agentExecutable->lexically_normal();
    const bool within =
        std::mismatch(parent.begin(), parent.end(), agent.begin(), agent.end()).first == parent.end();
    return within ? parent : executableFolder;
}

} // namespace kestrava::app
