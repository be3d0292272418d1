#pragma once

#include <optional>
#include <string>

namespace kestrava::app {

// What the session offers to show windows on: the variables that name its displays, the platform the
// caller asked for, and whether each named display answers.
struct DisplaySession {
    std::optional<std::string> x11Display;        // DISPLAY
    std::optional<std::string> waylandDisplay;    // WAYLAND_DISPLAY
    std::optional<std::string> requestedPlatform; // QT_QPA_PLATFORM
    bool x11Answers = false;
    bool waylandAnswers = false;
};

// The platform to ask Qt for, or why there is no display to show windows on.
struct DisplayPlatform {
    std::string platform;    // "xcb", "wayland" or the caller's own; empty when no display can be reached
    std::string unreachable; // why, when `platform` is empty
};

// The caller's own choice stands; else X where its server answers (the tray's panel can be placed there,
// which a Wayland client cannot do), else Wayland where its compositor answers.
DisplayPlatform chooseDisplayPlatform(const DisplaySession& session);

} // namespace kestrava::app
