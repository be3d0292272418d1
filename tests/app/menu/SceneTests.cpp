#include "app/menu/OnboardingAutoOpener.hpp"
#include "app/menu/SingleInstance.hpp"
#include "app/menu/WindowManager.hpp"
#include "tests/app-support/AppStateForViews.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <thread>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

// A second start finds the first, asks it to come forward and steps aside; once the first is gone, a
// start runs again.
TEST(SingleInstance, ASecondStartBringsTheFirstForward) {
    test::ensureQtApplication();
    test::TemporaryDirectory runtime;
    const auto path = runtime / "app.socket";
    int broughtForward = 0;
    {
        app::SingleInstance first(path);
        ASSERT_FALSE(first.forwardToRunning());
        ASSERT_TRUE(first.listen());
        QObject::connect(&first, &app::SingleInstance::broughtForward, [&] { ++broughtForward; });
        app::SingleInstance second(path);
        bool forwarded = false;
        // The first answers on the event loop, which the second's own wait does not run: ask on a thread.
        std::thread asking([&] { forwarded = second.forwardToRunning(); });
        test::runQtUntil([&] { return broughtForward == 1; });
        asking.join();
        EXPECT_TRUE(forwarded);
        EXPECT_EQ(broughtForward, 1);
    }
    app::SingleInstance later(path);
    EXPECT_FALSE(later.forwardToRunning());
    EXPECT_TRUE(later.listen());
    EXPECT_FALSE(app::SingleInstance(std::nullopt).forwardToRunning());
}

// Each window is made once while it is open and made anew after it was closed; an unknown name opens
// nothing.
TEST(WindowManager, OneWindowPerName) {
    test::ensureQtApplication();
    app::WindowManager windows;
    int made = 0;
    windows.define("about", [&] {
        ++made;
        return new QWidget;
    });
    EXPECT_TRUE(windows.open("about"));
    EXPECT_TRUE(windows.open("about"));
    EXPECT_EQ(made, 1);
    windows.window("about")->close();
    test::runQtUntil([&] { return windows.window("about") == nullptr; });
    EXPECT_TRUE(windows.open("about"));
    EXPECT_EQ(made, 2);
    EXPECT_FALSE(windows.open("nowhere"));
    windows.window("about")->close();
}

// The guide opens 0.6 s after the first showing of the tray unless it was finished, once per process.
TEST(OnboardingAutoOpener, OpensTheGuideOnceAfterSixTenths) {
    test::AppStateForViews views;
    test::VirtualScheduler scheduler;
    int opened = 0;
    app::OnboardingAutoOpener opener(scheduler);
    opener.consider(*views.state, [&] { ++opened; });
    views.state->setOnboardingDone(true); // finished meanwhile: it still opens
    scheduler.advance(599ms);
    EXPECT_EQ(opened, 0);
    scheduler.advance(1ms);
    EXPECT_EQ(opened, 1);
    views.state->setOnboardingDone(false);
    app::OnboardingAutoOpener again(scheduler);
    again.consider(*views.state, [&] { ++opened; });
    scheduler.advance(1s);
    EXPECT_EQ(opened, 1);
}

} // namespace
} // namespace kestrava
