#pragma once

#include "agent-core/control/AgentStatus.hpp"

#include <optional>

namespace kestrava::app {

// The colour of the tray's shield.
enum class StatusIconState { green, yellow, red, paused };

// The shield for the agent's last status: red without one, else by the relay link alone (the pause flag
// does not change it).
StatusIconState statusIconOf(const std::optional<AgentStatus>& status);

} // namespace kestrava::app
