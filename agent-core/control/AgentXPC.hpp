#pragma once

#include <string>

// The names under which the agent's local control surface and its change notifications are found,
// shared with the application. Each is worked out once per process from the build-time names.
namespace kestrava::AgentXPC {

const std::string& machServiceName();
// "<notification prefix>.changed": status, phones or the pending request changed.
const std::string& changedNotification();
// "<notification prefix>.pairingRequest": a phone asks to pair and waits for a decision.
const std::string& pairingRequestNotification();

} // namespace kestrava::AgentXPC
