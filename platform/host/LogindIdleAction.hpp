#pragma once

#include <cstdint>
#include <string_view>
#include <systemd/sd-bus.h>

namespace kestrava::host {

// Sleep timers are in minutes: above 0 the machine sleeps after that long idle, 0 means never, -1 unknown.

// logind's idle action as a sleep timer: "ignore" and "lock" never sleep the machine; any other action
// (suspend, hibernate, power off, ...) comes after the delay rounded up to whole minutes, at least 1.
// A delay of 0 or infinity never comes.
std::int64_t idleActionMinutes(std::string_view action, std::uint64_t delayMicroseconds);

// IdleAction and IdleActionUSec of the login manager, asked on `bus` within the bus call limit; -1 when
// there is no bus or either cannot be read.
std::int64_t logindIdleSleepMinutes(sd_bus* bus);

// The same on a connection of its own to the system bus: callers on several threads never share one.
std::int64_t logindIdleSleepMinutes();

} // namespace kestrava::host
