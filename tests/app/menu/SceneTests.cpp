#include "app/menu/MenuView.hpp"
#include "app/menu/OnboardingAutoOpener.hpp"
#include "app/menu/TrayApp.hpp"
#include "app/menu/WindowManager.hpp"
#include "app/runtime/UiText.hpp"
#include "app/system/ApplicationMove.hpp"
#include "app/tray/SingleInstance.hpp"
#include "app/ui/WindowSize.hpp"
#include "tests/app-support/AppStateForViews.hpp"
#include "tests/app-support/ApplicationFont.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/support/AgentProcess.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLocalSocket>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QWindow>
#include <algorithm>
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

// Where the panel's frame is, as its window tells it: a widget keeps the frame it had on the screen it was
// made on.
QRect frameOf(QWidget& panel) {
    return panel.windowHandle()->frameGeometry();
}

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

// A host's click, in the screen's own pixels, opens the panel on that screen, scaled or not, and wholly
// inside it: near a screen's top left it hangs from the top, clear of the bar the click is 5 px into,
// starting at the click; in its bottom right corner, on the screen's last row, it stands on the edge,
// ending at the click. Asked again, it closes.
TEST(TrayApp, OpensThePanelWhereTheHostsClickWasOnEachScreen) {
    if (const auto missing = test::whyTheThreeScreensAreMissing()) {
        GTEST_SKIP() << *missing;
    }
    test::AppStateForViews views;
    test::VirtualScheduler scheduler;
    app::Updater updater(std::make_unique<NoUpdates>(), false);
    app::TrayApp tray(views.state, updater, scheduler);
    ASSERT_EQ(QGuiApplication::screens().size(), 4);
    for (QScreen* screen : QGuiApplication::screens()) {
        SCOPED_TRACE(screen->name().toStdString());
        const QRect area = screen->availableGeometry();
        // Qt keeps the screen's origin and divides the rest by its scale.
        const auto clickAt = [&](QPoint at) {
            tray.togglePanelAt(area.topLeft() + (at - area.topLeft()) * screen->devicePixelRatio());
            return shownPanel();
        };
        QWidget* panel = clickAt(area.topLeft() + QPoint(5, 5));
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->screen(), screen);
        EXPECT_EQ(frameOf(*panel).topLeft(), area.topLeft() + QPoint(5, 11));
        EXPECT_EQ(clickAt(area.topLeft()), nullptr);

        const QPoint corner = area.bottomRight();
        panel = clickAt(corner);
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->screen(), screen);
        const QSize size = frameOf(*panel).size();
        EXPECT_EQ(frameOf(*panel),
                  QRect(QPoint(corner.x() + 1 - size.width(), corner.y() + 1 - size.height()), size));
        EXPECT_EQ(clickAt(corner), nullptr);
    }
}

// The open panel is placed again as it grows (an alert appears): above a click in a bottom corner it
// grows upwards, its bottom edge where it was; below one in a top corner, downwards. It stays within the
// screen.
TEST(TrayApp, ThePanelGrowsAwayFromTheTray) {
    if (const auto missing = test::whyTheThreeScreensAreMissing()) {
        GTEST_SKIP() << *missing;
    }
    const QRect area = QGuiApplication::screens().front()->availableGeometry();
    for (const QPoint click : {area.bottomRight() - QPoint(4, 4), area.topRight() + QPoint(-4, 4)}) {
        SCOPED_TRACE(click.y());
        test::AppStateForViews views;
        views.agentHolds({}, std::nullopt);
        test::VirtualScheduler scheduler;
        app::Updater updater(std::make_unique<NoUpdates>(), false);
        app::TrayApp tray(views.state, updater, scheduler);
        tray.togglePanelAt(click);
        const QPointer<QWidget> panel = shownPanel();
        ASSERT_NE(panel, nullptr);
        const QRect before = frameOf(*panel);

        AgentStatus failing;
        failing.connection.value = ConnectionState::Error{"TLS handshake failed: certificate expired"};
        views.agentAnswers(failing, {}, std::nullopt);
        ASSERT_TRUE(test::runQtUntil([&] { return panel && frameOf(*panel).height() > before.height(); }));
        const QRect after = frameOf(*panel);
        EXPECT_TRUE(area.contains(after)) << after.y() << "+" << after.height();
        EXPECT_EQ(after.right(), before.right());
        if (click.y() > area.center().y()) {
            EXPECT_EQ(after.bottom(), before.bottom());
        } else {
            EXPECT_EQ(after.top(), before.top());
        }
        panel->close();
    }
}

// On a screen too low for the panel with five phones, as it opens and as an alert grows it while it is
// open, the panel takes the room the screen's free area leaves it and no more: its list of phones is lower
// and scrolls, and the commands below it, the last included, stay in view.
TEST(TrayApp, OnALowScreenThePanelsPhonesScrollAndItsCommandsStayInView) {
    if (const auto missing = test::whyTheThreeScreensAreMissing()) {
        GTEST_SKIP() << *missing;
    }
    const test::ApplicationFont font(15);
    const auto screens = QGuiApplication::screens();
    const auto netbook = std::find_if(screens.begin(), screens.end(), [](const QScreen* screen) {
        return screen->name() == QLatin1String("netbook");
    });
    ASSERT_NE(netbook, screens.end());
    const QRect area = (*netbook)->availableGeometry();
    test::AppStateForViews views;
    std::vector<PhoneInfo> phones;
    for (int n = 1; n <= 5; ++n) {
        phones.push_back({"phone-" + std::to_string(n), "iPhone", wallClockNow(), std::nullopt});
    }
    AgentStatus status;
    status.connection.value = ConnectionState::Connected{};
    views.agentAnswers(status, phones, std::nullopt, false);
    test::VirtualScheduler scheduler;
    app::Updater updater(std::make_unique<NoUpdates>(), false);
    app::TrayApp tray(views.state, updater, scheduler);
    tray.togglePanelAt(area.topRight() + QPoint(-4, 4));
    const QPointer<QWidget> panel = shownPanel();
    ASSERT_NE(panel, nullptr);

    // The free height less the frame the panel is given.
    const auto room = [&] { return area.size().shrunkBy(app::ui::frameAround(*panel)).height(); };
    const auto fitsScrolling = [&] {
        const QWidget* quit = panel->findChild<QWidget*>("quit");
        const auto* list = panel->findChild<QScrollArea*>("phonesScroll");
        return area.contains(frameOf(*panel)) && panel->height() == room() &&
               panel->rect().contains(QRect(quit->mapTo(panel, QPoint(0, 0)), quit->size())) &&
               list->isVisible() && list->verticalScrollBar()->maximum() > 0;
    };
    const auto describe = [&] {
        const QRect frame = frameOf(*panel);
        return "frame " + std::to_string(frame.y()) + "+" + std::to_string(frame.height()) + " in " +
               std::to_string(area.y()) + "+" + std::to_string(area.height()) + ", room " +
               std::to_string(room());
    };
    EXPECT_TRUE(test::runQtUntil(fitsScrolling)) << describe();

    status.connection.value = ConnectionState::Error{"TLS handshake failed: certificate expired"};
    views.agentAnswers(status, phones, std::nullopt, false);
    ASSERT_TRUE(test::runQtUntil([&] {
        const QWidget* alert = panel->findChild<QWidget*>("alert");
        return alert && alert->isVisible();
    }));
    EXPECT_TRUE(test::runQtUntil(fitsScrolling)) << describe();
    panel->close();
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
