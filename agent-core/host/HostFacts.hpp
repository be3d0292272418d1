#pragma once

#include "agent-core/host/PowerGuard.hpp"
#include "platform/time/Timestamp.hpp"
#include "protocol-kit/StatusSnapshot.hpp"

#include <cstdint>
#include <string_view>

namespace kestrava {

// The machine's health facts. Every call measures afresh, holds no lock and never fails: each fact has a
// quiet fallback.

// A complete snapshot. `keepAwake` is whether the agent holds the machine awake now; `power` is asked for
// mains power and battery. Blocks while the sleep timer is read.
StatusSnapshot makeStatusSnapshot(bool keepAwake, const PowerSource& power);

// When the machine booted; the time of the call when the kernel does not say.
Timestamp readBootTime();

// Whole seconds from `boot` to `now`, truncated toward zero; 0 when the clock stands before the boot.
std::int64_t uptimeSeconds(Timestamp boot, Timestamp now);

// The system's idle-sleep timer in minutes: 0 never, -1 unknown. logind's idle action, combined with
// GNOME's own idle suspend for the current power state wherever GNOME's power settings are installed
// (whether or not the agent started inside a GNOME session); a desktop that the agent's environment names
// and whose setting is not read is unknown. Takes at most about 3 s and starts at most one process.
std::int64_t readSleepTimer(const PowerSource& power);

// Two sleep timers of the same machine as one: the shorter of those that fire; 0 only when both say
// never; otherwise, when neither fires and one is unknown, -1.
std::int64_t combineSleepTimers(std::int64_t first, std::int64_t second);

// The machine will not fall asleep on its own: the agent holds it awake, or the timer says never.
bool isSleepSafe(bool keepAwake, std::int64_t sleepTimer);

// The minutes of the first line whose first token is exactly "sleep" and whose second is a decimal
// integer (optional sign, 64-bit range), in the power-management tool's "-g" output; -1 when none.
std::int64_t parsePmsetSleepOutput(std::string_view text);

// The share of physical memory that is free, 0 to 100; 0 when it cannot be learned.
std::int64_t freeMemoryPercent();

// Whether the agent may read the user's files: there is no privacy gate to grant here, so this is true
// when the home folder opens for reading.
bool hasFullDiskAccess();

} // namespace kestrava
