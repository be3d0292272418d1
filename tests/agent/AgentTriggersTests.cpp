// What wakes the running agent from outside: the machine's wake, and the login manager that keeps it
// awake. The buses are the tests' own; the login manager is the system's real one where it can run.
#include "agent-core/host/PowerGuard.hpp"
#include "platform/host/LogindIdleAction.hpp"
#include "tests/support/AgentProcess.hpp"
#include "tests/support/FakeRelay.hpp"
#include "tests/support/LoginManagers.hpp"
#include "tests/support/PrivateSessionBus.hpp"
#include "tests/support/ServedAgent.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

TEST(AgentTriggers, AWakeReconnectsAtOnce) {
    const test::PrivateSessionBus systemBus("DBUS_SYSTEM_BUS_ADDRESS");
    test::FakeLoginManager login;
    test::FakeRelay relay;
    test::ServedAgent served(relay);
    ASSERT_TRUE(served.start());
    auto& agent = served.agent;
    ASSERT_TRUE(agent->waitForOutput("INFO connected"));
    // Told again until the agent's watch has its match in place.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!agent->waitForOutput("INFO reconnect now: wake", 100ms) &&
           std::chrono::steady_clock::now() < deadline) {
        login.prepareForSleep(false);
    }
    ASSERT_TRUE(agent->waitForOutput("INFO reconnect now: wake"));
    EXPECT_TRUE(relay.waitForConnections(2)) << "a fresh socket";
}

// The real login manager on a private system bus: the agent holds its two keep-awake locks on mains power
// and lets them go at shutdown; a guard whose power source says battery lets them go at once; and the
// manager's idle action, "ignore" here, reads as a timer that never fires.
TEST(AgentTriggers, KeepAwakeWithTheRealLoginManager) {
    if (!test::RealLoginManager::available()) {
        GTEST_SKIP() << "the login manager needs root and "
                     << "/lib/systemd/systemd-logind";
    }
    const test::PrivateSessionBus systemBus("DBUS_SYSTEM_BUS_ADDRESS");
    test::RealLoginManager login;
    const std::vector<std::string> held{"idle Kestrava keep awake Kestrava keep awake block",
                                        "sleep Kestrava keep awake Kestrava keep awake block"};

    test::FakeRelay relay;
    test::ServedAgent served(relay);
    ASSERT_TRUE(served.start());
    auto& agent = served.agent;
    const pid_t agentPid = agent->pid();
    auto locks = login.inhibitorsOf(agentPid);
    std::sort(locks.begin(), locks.end());
    EXPECT_EQ(locks, held) << "this machine runs on mains power as far as the agent can tell";
    agent->signal(SIGTERM);
    EXPECT_EQ(agent->waitForExit(), 0);
    // The login manager notices a released lock a moment later.
    EXPECT_TRUE(test::eventually([&] { return login.inhibitorsOf(agentPid); },
                                 [](const std::vector<std::string>& left) { return left.empty(); }));

    struct Battery : PowerSource {
        bool onAC = true;
        bool onACPower() const override { return onAC; }
        bool isLaptop() const override { return true; }
    };
    const auto power = std::make_shared<Battery>();
    PowerGuard guard(power, PowerGuard::createSystemAssertion, PowerGuard::releaseSystemAssertion);
    guard.update();
    EXPECT_EQ(login.inhibitorsOf(::getpid()).size(), 2u);
    power->onAC = false;
    guard.update();
    EXPECT_TRUE(test::eventually([&] { return login.inhibitorsOf(::getpid()); },
                                 [](const std::vector<std::string>& left) { return left.empty(); }));

    EXPECT_EQ(host::logindIdleSleepMinutes(), 0);
}

} // namespace
} // namespace kestrava
