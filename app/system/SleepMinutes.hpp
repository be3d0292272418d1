#pragma once

#include <cstdint>

namespace kestrava::app {

// The machine's idle-sleep timer in minutes (0 never, -1 unknown), read the agent's way so that both
// always agree. Blocks on the system bus and on gsettings: not for the interface thread.
std::int64_t currentSleepMinutes();

} // namespace kestrava::app
