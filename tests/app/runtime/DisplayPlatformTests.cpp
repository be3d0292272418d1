#include "app/runtime/DisplayPlatform.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

// X where its server answers, else Wayland where its compositor answers, whatever else the session names;
// the caller's own choice over both; and where nothing answers, why, naming each display.
TEST(DisplayPlatform, TheDisplayThatAnswersOrWhyNone) {
    const std::optional<std::string> unset;
    const struct {
        const char* what;
        app::DisplaySession session;
        const char* platform;
        const char* unreachable;
    } rows[] = {
        {"both answer", {":0", "wayland-0", unset, true, true}, "xcb", ""},
        {"only X", {":0", unset, unset, true, false}, "xcb", ""},
        {"X named but gone", {":0", "wayland-0", unset, false, true}, "wayland", ""},
        {"only Wayland", {unset, "wayland-0", unset, false, true}, "wayland", ""},
        {"the caller's own over X", {":0", "wayland-0", "wayland", true, true}, "wayland", ""},
        {"the caller's own over nothing", {unset, unset, "offscreen", false, false}, "offscreen", ""},
        {"nothing named",
         {unset, unset, unset, false, false},
         "",
         "no display to show windows on: DISPLAY is not set and WAYLAND_DISPLAY is not set"},
        {"both named, neither answers",
         {":1", "wayland-1", unset, false, false},
         "",
         "no display to show windows on: the X server at DISPLAY=:1 cannot be reached and the Wayland "
         "compositor at WAYLAND_DISPLAY=wayland-1 cannot be reached"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const app::DisplayPlatform chosen = app::chooseDisplayPlatform(row.session);
        EXPECT_EQ(chosen.platform, row.platform);
        EXPECT_EQ(chosen.unreachable, row.unreachable);
    }
}

} // namespace
} // namespace kestrava
