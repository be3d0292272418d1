#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace kestrava {

// Where the agent's control socket lives, for the agent that binds it and the application that connects:
// the user's runtime folder, then the machine service name.
struct ControlSocketPath {
    std::optional<std::filesystem::path> path;
    std::string whyNone; // when there is no path: a sentence for the log

    // From this process's environment, effective user and build-time names.
    static ControlSocketPath current();

    // The folder is `runtimeDirectory` when it is absolute; otherwise /run/user/<euid> when that is a
    // folder of the user that no one else may enter (`privateRunFolder` is /run/user in the agent). The
    // path must fit a socket address.
    static ControlSocketPath in(const std::optional<std::string>& runtimeDirectory, uid_t euid,
                                std::string_view serviceName,
                                const std::filesystem::path& privateRunFolder = "/run/user");
};

} // namespace kestrava
