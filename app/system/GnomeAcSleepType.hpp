#pragma once

#include <QCoro/QCoroTask>
#include <optional>
#include <string>

namespace kestrava::app {

// What a GNOME session does by itself after the user's idle time on mains power (the settings daemon's
// sleep-inactive-ac-type), whatever the login manager says. It is the user's own setting: `gsettings` from
// PATH changes it without an administrator. Values are in gsettings' text form, such as 'suspend'.

inline constexpr const char* gnomeNeverSleeps = "'nothing'";

// Whether this is a GNOME session, by XDG_CURRENT_DESKTOP.
bool inGnomeSession();

// The type now; none when gsettings fails.
QCoro::Task<std::optional<std::string>> gnomeAcSleepType();

// False when gsettings fails.
QCoro::Task<bool> setGnomeAcSleepType(std::string value);

// Back to the desktop's default; false when gsettings fails.
QCoro::Task<bool> resetGnomeAcSleepType();

} // namespace kestrava::app
