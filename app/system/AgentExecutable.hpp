#pragma once

#include "platform/json/Value.hpp"

#include <filesystem>
#include <optional>

namespace kestrava::app {

// The agent program the application registers as the user's service: the "KVAgentExecutable" key of the
// application's Info.json when it holds a non-empty text, a relative path taken from the running
// executable's folder (the two programs travel together), else "kestrava-agent" beside the running
// executable. Whether it exists is for the caller to see.
std::optional<std::filesystem::path> agentExecutable();

// The same rule over a given dictionary and executable folder.
std::optional<std::filesystem::path>
agentExecutable(const std::optional<json::Object>& info,
                const std::optional<std::filesystem::path>& executableFolder);

} // namespace kestrava::app
