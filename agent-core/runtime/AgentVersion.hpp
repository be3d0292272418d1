#pragma once

#include "platform/json/Value.hpp"

#include <optional>
#include <string>

namespace kestrava {

// "<short version> (<build>)" from Info.json when it belongs to the agent, else "0.1.1". Read once.
const std::string& agentVersion();

// The same rule for a given dictionary.
std::string agentVersion(const std::optional<json::Object>& info);

} // namespace kestrava
