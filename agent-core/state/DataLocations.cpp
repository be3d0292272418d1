#include "agent-core/state/DataLocations.hpp"

#include "agent-core/runtime/AgentEnvironment.hpp"
#include "platform/files/UserFolders.hpp"

namespace kestrava {
namespace {

bool isInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const std::string prefix = folder.lexically_normal().string() + "/";
    return path.lexically_normal().string().starts_with(prefix);
}

} // namespace

const std::filesystem::path& dataDirectory() {
    static const std::filesystem::path folder = files::dataHome() / AgentEnvironment::current().dataDirName;
    return folder;
}

const std::filesystem::path& configFileURL() {
    static const std::filesystem::path file = dataDirectory() / "config.json";
    return file;
}

const std::filesystem::path& stateFileURL() {
    static const std::filesystem::path file = dataDirectory() / "state.json";
    return file;
}

const std::filesystem::path& defaultDataDirectory() {
    static const std::filesystem::path folder = files::dataHome() / AgentEnvironment::defaults().dataDirName;
    return folder;
}

bool isInsideRealDataDirectory(const std::filesystem::path& path) {
    return isInside(path, defaultDataDirectory()) || isInside(path, dataDirectory());
}

} // namespace kestrava
