#pragma once

#include "platform/host/ToolRunner.hpp"

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrava::host {

// GNOME's settings daemon suspends the machine by itself after the user's idle time, whatever logind
// says. Its settings are the user's own and can be read whether or not a session runs now.

// Whether GNOME's power settings are installed: the settings daemon's power schema lies in a folder that
// GSettings reads schemas from ($GSETTINGS_SCHEMA_DIR, then glib-2.0/schemas in the user's and the
// system's data folders). Without it no GNOME session suspends the machine on its own.
bool gnomePowerSettingsInstalled();

// The idle suspend for the current power state as a sleep timer in minutes (0 never, -1 unknown), from
// what `gsettings list-recursively` prints for the power schema: sleep-inactive-ac-type and -timeout, or
// the battery pair. Type "nothing" never sleeps; any other type comes after the timeout in seconds
// rounded up to whole minutes, and a timeout of 0 never comes. -1 when either key is missing or holds
// something that is not such a value.
std::int64_t gnomeIdleSuspendMinutes(std::string_view listing, bool onACPower);

// One reading of those settings with a single `gsettings` run from PATH, started at construction so that
// other facts can be read while it runs.
class GnomeIdleSuspendReading {
public:
    GnomeIdleSuspendReading();

    // -1 when gsettings cannot be started, fails, or has not ended by `deadline`; then this returns at
    // most about a second after it.
    std::int64_t minutes(bool onACPower, ToolRun::Clock::time_point deadline);

private:
    std::optional<ToolRun> run_;
};

} // namespace kestrava::host
