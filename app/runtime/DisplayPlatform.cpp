#include "app/runtime/DisplayPlatform.hpp"

namespace kestrava::app {
namespace {

std::string whyNot(const char* variable, const std::optional<std::string>& display, const char* server) {
    if (!display) {
        return std::string(variable) + " is not set";
    }
    return std::string("the ") + server + " at " + variable + "=" + *display + " cannot be reached";
}

} // namespace

DisplayPlatform chooseDisplayPlatform(const DisplaySession& session) {
    if (session.requestedPlatform) {
        return {*session.requestedPlatform, {}};
    }
    if (session.x11Display && session.x11Answers) {
        return {"xcb", {}};
    }
    if (session.waylandDisplay && session.waylandAnswers) {
        return {"wayland", {}};
    }
    return {{},
            "no display to show windows on: " + whyNot("DISPLAY", session.x11Display, "X server") + " and " +
                whyNot("WAYLAND_DISPLAY", session.waylandDisplay, "Wayland compositor")};
}

} // namespace kestrava::app
