// What wakes the running agent from outside: the machine's wake, the network's return, and the login
// manager that keeps it awake. The buses and the network are the tests' own; the login manager is the
// system's real one where it can run.
#include "agent-core/host/PowerGuard.hpp"
#include "platform/host/LogindIdleAction.hpp"
#include "tests/support/AgentProcess.hpp"
#include "tests/support/FakeRelay.hpp"
#include "tests/support/LoginManagers.hpp"
#include "tests/support/OwnNamespace.hpp"
#include "tests/support/PrivateSessionBus.hpp"
#include "tests/support/ServedAgent.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <thread>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

// Calls `nudge` until the agent logs `line` (its watch may not be in place yet); false after 10 s.
bool nudgedUntilLogged(test::AgentProcess& agent, const std::string& line,
                       const std::function<void()>& nudge) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!agent.waitForOutput(line, 100ms)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        nudge();
    }
    return true;
}

TEST(AgentTriggers, AWakeReconnectsAtOnce) {
    const test::PrivateSessionBus systemBus("DBUS_SYSTEM_BUS_ADDRESS");
    test::FakeLoginManager login;
    test::FakeRelay relay;
    test::ServedAgent served(relay);
    ASSERT_TRUE(served.start());
    ASSERT_TRUE(served.agent->waitForOutput("INFO connected"));
    EXPECT_TRUE(
        nudgedUntilLogged(*served.agent, "INFO reconnect now: wake", [&] { login.prepareForSleep(false); }));
    EXPECT_TRUE(relay.waitForConnections(2)) << "a fresh socket";
}

// The network comes back: the agent tries its relay link again at once. In a network of the test's own,
// where the relay listens on the loopback and the path is there only while a veth link with a default route
// is up.
TEST(AgentTriggers, ANetworkReturnReconnectsAtOnce) {
    const bool ran = test::inOwnNetwork([] {
        ASSERT_TRUE(test::addVethPair());
        test::FakeRelay relay;
        test::ServedAgent served(relay);
        ASSERT_TRUE(served.start());
        ASSERT_TRUE(served.agent->waitForOutput("INFO connected"));
        // Up and down in turn: the agent's first report may come after the first up.
        bool up = false;
        EXPECT_TRUE(nudgedUntilLogged(*served.agent, "INFO reconnect now: network back", [&] {
            up = !up;
            EXPECT_EQ(std::system(up ? "ip link set kv0 up && ip route replace default via 10.77.0.1 dev kv0"
                                     : "ip link set kv0 down"),
                      0);
        }));
        EXPECT_TRUE(relay.waitForConnections(2)) << "a fresh socket";
    });
    if (!ran) {
        GTEST_SKIP() << "a network namespace needs root";
    }
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
