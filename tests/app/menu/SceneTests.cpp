#include "app/menu/MenuView.hpp"
#include "app/menu/OnboardingAutoOpener.hpp"
#include "app/menu/TrayApp.hpp"
#include "app/menu/WindowManager.hpp"
#include "app/runtime/UiText.hpp"
#include "app/system/ApplicationMove.hpp"
#include "app/tray/SingleInstance.hpp"
#include "tests/app-support/AppStateForViews.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/support/AgentProcess.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLocalSocket>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <array>
#include <atomic>
#include <functional>
#include <latch>
#include <thread>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

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

class NoUpdates final : public app::UpdateBackend {
public:
    bool canCheckForUpdates() const override { return false; }
    void checkForUpdates() override {}
};

// The panel, when it is shown.
QWidget* shownPanel() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->findChild<app::MenuView*>()) {
            return window;
        }
    }
    return nullptr;
}

// The tray's context menu.
QMenu* trayMenu() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* menu = qobject_cast<QMenu*>(window)) {
            return menu;
        }
    }
    return nullptr;
}

// The context menu, for trays that pass no click on, offers to add a phone when the panel does; without a
// tray the panel is a window, and once closed a later start brings it back. (Not through show(), which
// would take the process's one automatic opening of the guide.)
TEST(TrayApp, FollowsTheAgentWithOrWithoutATray) {
    test::AppStateForViews views;
    test::VirtualScheduler scheduler;
    app::Updater updater(std::make_unique<NoUpdates>(), false);
    app::TrayApp tray(views.state, updater, scheduler);
    const auto addPhone = [] {
        for (QAction* action : trayMenu()->actions()) {
            if (action->text() == app::uiText("Thêm iPhone…")) {
                return action;
            }
        }
        return static_cast<QAction*>(nullptr);
    };
    ASSERT_NE(addPhone(), nullptr);
    EXPECT_FALSE(addPhone()->isEnabled()); // no status yet
    views.agentHolds({}, std::nullopt);
    EXPECT_TRUE(addPhone()->isEnabled());
    AgentStatus paused;
    paused.connection.value = ConnectionState::Connected{};
    paused.monitoringPaused = true;
    views.agentAnswers(paused, {}, std::nullopt);
    EXPECT_FALSE(addPhone()->isEnabled());

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        GTEST_SKIP() << "this desktop has a tray: the panel drops from it";
    }
    tray.bringForward();
    ASSERT_NE(shownPanel(), nullptr);
    EXPECT_FALSE(shownPanel()->windowFlags().testFlag(Qt::Popup));
    shownPanel()->close();
    EXPECT_EQ(shownPanel(), nullptr);
    tray.bringForward();
    EXPECT_NE(shownPanel(), nullptr);
}

// The panel opens where a click was, on each screen and wholly inside it, to the last pixel: below a click
// at a screen's top left and from it; above one at its bottom right and ending at its edge. Asked again,
// it closes.
TEST(TrayApp, OpensThePanelWhereTheClickWasOnEachScreen) {
    if (const auto missing = test::whyTheThreeScreensAreMissing()) {
        GTEST_SKIP() << *missing;
    }
    test::AppStateForViews views;
    test::VirtualScheduler scheduler;
    app::Updater updater(std::make_unique<NoUpdates>(), false);
    app::TrayApp tray(views.state, updater, scheduler);
    const auto clickAt = [&](QPoint at) {
        tray.togglePanelAt(QRect(at, QSize(1, 1)));
        return shownPanel();
    };
    ASSERT_EQ(QGuiApplication::screens().size(), 3);
    for (QScreen* screen : QGuiApplication::screens()) {
        SCOPED_TRACE(screen->name().toStdString());
        const QRect area = screen->availableGeometry();
        QWidget* panel = clickAt(area.topLeft() + QPoint(5, 5));
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->screen(), screen);
        EXPECT_EQ(panel->frameGeometry().topLeft(), area.topLeft() + QPoint(5, 6));
        EXPECT_EQ(clickAt(area.topLeft()), nullptr);

        const QPoint corner(area.x() + area.width() - 1, area.y() + area.height() - 1);
        panel = clickAt(corner);
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->screen(), screen);
        const QSize size = panel->frameGeometry().size();
        EXPECT_EQ(panel->frameGeometry(),
                  QRect(QPoint(corner.x() + 1 - size.width(), corner.y() - size.height()), size));
        EXPECT_EQ(clickAt(corner), nullptr);
    }
}

// A tray that only shows the menu reaches the panel through its first entry, set apart from the commands.
TEST(TrayApp, TheMenuOpensThePanel) {
    test::AppStateForViews views;
    test::VirtualScheduler scheduler;
    app::Updater updater(std::make_unique<NoUpdates>(), false);
    app::TrayApp tray(views.state, updater, scheduler);
    const QList<QAction*> entries = trayMenu()->actions();
    ASSERT_GE(entries.size(), 2);
    EXPECT_EQ(entries[0]->text(), app::uiText("Mở Kestrava"));
    EXPECT_TRUE(entries[1]->isSeparator());
    ASSERT_EQ(shownPanel(), nullptr);
    entries[0]->trigger();
    ASSERT_NE(shownPanel(), nullptr);
    entries[0]->trigger();
    EXPECT_NE(shownPanel(), nullptr);
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
