#include "agent-core/control/ControlSocketPath.hpp"

#include "agent-core/control/AgentXPC.hpp"
#include "platform/net/LocalSocket.hpp"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrava {
namespace {

bool isPrivateFolderOf(const std::filesystem::path& folder, uid_t euid) {
    struct stat status {};
    return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == euid &&
           (status.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

} // namespace

ControlSocketPath ControlSocketPath::current() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return in(runtime ? std::optional<std::string>(runtime) : std::nullopt, ::geteuid(),
              AgentXPC::machServiceName());
}

ControlSocketPath ControlSocketPath::in(const std::optional<std::string>& runtimeDirectory, uid_t euid,
                                        std::string_view serviceName,
                                        const std::filesystem::path& privateRunFolder) {
    std::filesystem::path folder;
    if (runtimeDirectory && std::filesystem::path(*runtimeDirectory).is_absolute()) {
        folder = *runtimeDirectory;
    } else if (const auto userFolder = privateRunFolder / std::to_string(euid);
               isPrivateFolderOf(userFolder, euid)) {
        folder = userFolder;
    } else {
        return {std::nullopt,
                "no runtime folder for the control socket: XDG_RUNTIME_DIR is not an absolute path and " +
                    userFolder.string() + " is not a private folder of this user"};
    }
    std::filesystem::path path = folder / std::string(serviceName);
    if (path.native().size() > net::maxLocalSocketPath) {
        return {std::nullopt, "control socket path too long: " + path.string()};
    }
    return {std::move(path), {}};
}

} // namespace kestrava
