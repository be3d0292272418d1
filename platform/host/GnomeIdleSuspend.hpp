#pragma once

#include <cstdint>
#include <filesystem>

namespace kestrava::host {

// The GNOME session's own idle suspend for the current power state as a sleep timer in minutes (0 never,
// -1 unknown): the settings daemon's sleep-inactive-ac-type and -timeout, or the battery pair, each read
// with `gsettings get` under a 2 s limit. Type "nothing" never sleeps; any other type comes after the
// timeout in seconds rounded up to whole minutes, and a timeout of 0 never comes. -1 when the tool fails
// or prints something that is not such a value.
std::int64_t gnomeIdleSuspendMinutes(bool onACPower,
                                     const std::filesystem::path& gsettings = "/usr/bin/gsettings");

} // namespace kestrava::host
