#include "app/system/ApplicationFolder.hpp"

#include <algorithm>

namespace kestrava::app {
namespace {

bool liesWithin(const std::filesystem::path& path, const std::filesystem::path& folder) {
    return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first == folder.end();
}

} // namespace

std::filesystem::path applicationFolder(const std::filesystem::path& executableFolder,
                                        const std::optional<std::filesystem::path>& agentExecutable) {
    const std::filesystem::path parent = executableFolder.parent_path();
    if (!agentExecutable || parent == executableFolder.root_path()) {
        return executableFolder;
    }
    const std::filesystem::path agent = agentExecutable->lexically_normal();
    return liesWithin(agent, parent) && !liesWithin(agent, executableFolder) ? parent : executableFolder;
}

} // namespace kestrava::app
