#include "app/menu/MenuView.hpp"
#include "app/menu/OnboardingAutoOpener.hpp"
#include "app/menu/SingleInstance.hpp"
#include "app/menu/TrayApp.hpp"
#include "app/menu/WindowManager.hpp"
#include "app/runtime/UiText.hpp"
#include "app/system/ApplicationMove.hpp"
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

// A second start hands over the activation token its launcher gave it, so that the first may come forward
// on Wayland; one without a token, and an older start that sends the bare request, hand over none. Each
// start takes the token out of its environment, so that the programs it starts are not handed a token that
// is not theirs; only on Wayland does the one that runs keep it for Qt to spend on its first window.
TEST(SingleInstance, ASecondStartHandsOverItsActivationToken) {
    test::ensureQtApplication();
    test::TemporaryDirectory runtime;
    const auto path = runtime / "app.socket";
    app::SingleInstance first(path);
    {
        const test::EnvironmentOverride token("XDG_ACTIVATION_TOKEN", "launcher/first");
        ASSERT_FALSE(first.forwardToRunning());
        EXPECT_FALSE(qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"));
    }
    {
        const test::EnvironmentOverride token("XDG_ACTIVATION_TOKEN", "launcher/nowhere");
        EXPECT_FALSE(app::SingleInstance(std::nullopt).forwardToRunning());
        EXPECT_FALSE(qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"));
    }
    ASSERT_TRUE(first.listen());
    std::vector<QString> tokens;
    QObject::connect(&first, &app::SingleInstance::broughtForward,
                     [&](const QString& token) { tokens.push_back(token); });
    const auto asked = [&](const std::function<bool()>& ask) {
        const std::size_t before = tokens.size();
        bool forwarded = false;
        // The first answers on the event loop, which the asking start's own wait does not run.
        std::thread asking([&] { forwarded = ask(); });
        test::runQtUntil([&] { return tokens.size() > before; });
        asking.join();
        EXPECT_TRUE(forwarded);
        return tokens.size() == before + 1 ? std::optional<QString>(tokens.back()) : std::nullopt;
    };
    const auto secondStart = [&] { return app::SingleInstance(path).forwardToRunning(); };
    {
        const test::EnvironmentOverride token("XDG_ACTIVATION_TOKEN", "launcher/7f3a-19");
        EXPECT_EQ(asked(secondStart), QStringLiteral("launcher/7f3a-19"));
        EXPECT_FALSE(qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"));
    }
    {
        const test::EnvironmentOverride token("XDG_ACTIVATION_TOKEN", std::nullopt);
        EXPECT_EQ(asked(secondStart), QString());
    }
    EXPECT_EQ(asked([&] {
                  QLocalSocket older;
                  older.connectToServer(QString::fromStdString(path.string()));
                  return older.waitForConnected(5000) && older.write("show\n") == 5 &&
                         older.waitForBytesWritten(5000);
              }),
              QString());
}

// Two starts at the same instant take turns: one finds nobody and runs, the other waits until it listens,
// then asks it to come forward.
TEST(SingleInstance, TwoStartsAtTheSameInstantRunOnce) {
    test::ensureQtApplication();
    constexpr int pending = -1;
    for (int round = 0; round < 20 && !testing::Test::HasFailure(); ++round) {
        SCOPED_TRACE(round);
        test::TemporaryDirectory runtime;
        std::array<app::SingleInstance, 2> starts{app::SingleInstance(runtime / "app.socket"),
                                                  app::SingleInstance(runtime / "app.socket")};
        int broughtForward = 0;
        for (auto& start : starts) {
            QObject::connect(&start, &app::SingleInstance::broughtForward, [&] { ++broughtForward; });
        }
        std::array<std::atomic<int>, 2> forwarded{pending, pending};
        std::latch together(2);
        // Their sockets belong to this thread's event loop: only the looks run on threads.
        std::array<std::jthread, 2> looking;
        for (std::size_t n = 0; n < 2; ++n) {
            looking[n] = std::jthread([&, n] {
                together.arrive_and_wait();
                forwarded[n] = starts[n].forwardToRunning() ? 1 : 0;
            });
        }
        test::runQtUntil([&] { return forwarded[0] != pending || forwarded[1] != pending; });
        const std::size_t first = forwarded[0] != pending ? 0 : 1;
        const std::size_t second = 1 - first;
        const int secondBeforeTheListen = forwarded[second];
        EXPECT_EQ(forwarded[first], 0);
        EXPECT_TRUE(starts[first].listen());
        EXPECT_EQ(secondBeforeTheListen, pending);
        test::runQtUntil(
            [&] { return forwarded[second] == 0 || (forwarded[second] == 1 && broughtForward == 1); });
        EXPECT_EQ(forwarded[second], 1);
        EXPECT_EQ(broughtForward, 1);
    }
}

// The application program as the build made it, started in `home` (its runtime folder below it) as a
// user starts it, or as the copy that a move starts.
std::unique_ptr<test::AgentProcess> startApplication(const std::filesystem::path& home, bool afterMove) {
    test::AgentProcessOptions options;
    options.program = KESTRAVA_APP_PATH;
    options.environment = {{"KESTRAVA_TEST_HARNESS", "1"},
                           {"QT_QPA_PLATFORM", "offscreen"},
                           {"DBUS_SESSION_BUS_ADDRESS", ""},
                           {"XDG_CONFIG_HOME", (home / "config").string()}};
    return std::make_unique<test::AgentProcess>(
        home, afterMove ? std::vector<std::string>{app::afterMoveArgument} : std::vector<std::string>{},
        options);
}

// The copy that a move starts runs whether the instance that started it has already gone or is still
// going; it never runs beside one that stays, and a plain later start still steps aside at once.
TEST(SingleInstance, TheCopyAMoveStartsRunsWhicheverEndsFirst) {
    test::ensureQtApplication();
    test::TemporaryDirectory home;
    std::filesystem::create_directories(home / "run");
    std::filesystem::permissions(home / "run", std::filesystem::perms::owner_all);
    const test::EnvironmentOverride runtime("XDG_RUNTIME_DIR", (home / "run").string());
    const auto path = app::SingleInstance::standardPath();
    ASSERT_TRUE(path);
    // Someone listens there, asked from outside as a later start asks.
    const auto answered = [&path] { return app::SingleInstance(path).forwardToRunning(); };
    const auto stillRuns = [](test::AgentProcess& program) { return !program.waitForExit(0ms); };

    // The old instance has gone already.
    {
        const auto copy = startApplication(home.path(), true);
        EXPECT_TRUE(test::runQtUntil(answered));
        EXPECT_TRUE(stillRuns(*copy));
    }
    for (const bool oldGoes : {true, false}) {
        SCOPED_TRACE(oldGoes ? "the old instance goes while the copy starts" : "the old instance stays");
        auto old = std::make_unique<app::SingleInstance>(path);
        ASSERT_FALSE(old->forwardToRunning());
        ASSERT_TRUE(old->listen());
        int broughtForward = 0;
        QObject::connect(old.get(), &app::SingleInstance::broughtForward, [&] { ++broughtForward; });
        const auto copy = startApplication(home.path(), true);
        test::runQtUntil([] { return false; }, {}, 1s);
        EXPECT_TRUE(stillRuns(*copy));
        if (oldGoes) {
            old.reset();
            EXPECT_TRUE(test::runQtUntil(answered));
            EXPECT_TRUE(stillRuns(*copy));
        } else {
            EXPECT_TRUE(test::runQtUntil([&] { return !stillRuns(*copy); }));
            EXPECT_EQ(copy->waitForExit(), 0);
            EXPECT_EQ(broughtForward, 1);
        }
    }
    {
        app::SingleInstance old(path);
        ASSERT_FALSE(old.forwardToRunning());
        ASSERT_TRUE(old.listen());
        const auto later = startApplication(home.path(), false);
        EXPECT_TRUE(test::runQtUntil([&] { return !stillRuns(*later); }, {}, 2s));
        EXPECT_EQ(later->waitForExit(), 0);
    }
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
