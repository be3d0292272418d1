#pragma once

#include "platform/json/Value.hpp"

#include <filesystem>
#include <optional>
#include <string>

namespace kestrava {

// The four names that differ from one packaging of the agent to another, read from "Info.json" beside
// the executable with built-in defaults.
struct AgentEnvironment {
    std::string machServiceName;
    std::string dataDirName;
    std::string keychainService;
    std::string notificationPrefix;

    static const AgentEnvironment& defaults();
    static const AgentEnvironment& current();

    // Each field from its key when that holds a non-empty text without "$("; else the default.
    static AgentEnvironment fromInfo(const std::optional<json::Object>& info);

    bool operator==(const AgentEnvironment&) const = default;
};

// The application's executable ("KVAppExecutable"), the only program the control socket admits; none
// when the key is missing or not a non-empty text. A relative path names it from the agent's own folder,
// where the two programs travel together.
std::optional<std::filesystem::path> applicationExecutable();

// The program a path key of `info` names: an absolute path as it stands, a relative one from
// `executableFolder` (none without it); none when the key is missing or not a non-empty text.
std::optional<std::filesystem::path>
programNamedBy(const std::optional<json::Object>& info, const char* key,
               const std::optional<std::filesystem::path>& executableFolder);

// The dictionary of "Info.json" beside the executable, or for a program in a "bin" folder, where no other
// file belongs, in "../share/<program>/"; nothing when it is missing, unreadable or not a JSON object.
// Read once.
const std::optional<json::Object>& mainBundleInfo();

// The same reading for the executable `program`.
std::optional<json::Object> bundleInfoOf(const std::filesystem::path& program);

} // namespace kestrava
