#pragma once

#include <string_view>

namespace kestrava::app {

// The agent's user unit as the package ships it (packaging/kestrava-agent.service.in), built into the
// application so that a build tree can register its own agent. "@KESTRAVA_AGENT_EXECUTABLE@" stands for
// the agent's path.
std::string_view agentUnitTemplate();

} // namespace kestrava::app
