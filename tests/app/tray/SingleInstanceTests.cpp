#include "app/system/ApplicationMove.hpp"
#include "app/tray/SingleInstance.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/support/AgentProcess.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <QLocalSocket>
#include <array>
#include <atomic>
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

} // namespace
} // namespace kestrava
