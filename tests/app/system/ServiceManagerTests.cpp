#include "app/async/Sleep.hpp"
#include "app/system/ServiceManager.hpp"
#include "app/system/SystemdUserUnit.hpp"
#include "tests/app-support/FakeServiceBackend.hpp"
#include "tests/app-support/FakeSystemdUserManager.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <map>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using app::AgentClientError;
using app::PlatformError;
using app::ServiceFailure;
using app::ServiceManagerError;
using app::ServiceStatus;
using Duration = app::Scheduler::Clock::duration;

// An agent behind the status probe: from `readyAt` on a probe answers after `latency`; before, a probe
// fails after `latency`, or never answers when `hangs`.
struct ProbedAgent {
    explicit ProbedAgent(test::VirtualScheduler& scheduler) : scheduler(scheduler) {}

    test::VirtualScheduler& scheduler;
    Duration readyAt = 0s;
    Duration latency = 0s;
    bool hangs = false;
    std::vector<Duration> probedAt;

    static QCoro::Task<app::AgentResult<AgentStatus>> answer(ProbedAgent* agent) {
        agent->probedAt.push_back(agent->scheduler.elapsed());
        const bool ready = agent->scheduler.elapsed() >= agent->readyAt;
        co_await app::sleepFor(agent->scheduler, !ready && agent->hangs ? 1h : agent->latency);
        if (!ready) {
            co_return AgentClientError::connection("Connection refused");
        }
        co_return AgentStatus{};
    }

    app::StatusProbe probe() {
        return [this] { return answer(this); };
    }
};

// Runs a restart to its end on the virtual clock; when it ended, from its start.
app::Result<void, ServiceFailure> restartToEnd(test::VirtualScheduler& scheduler,
                                               app::ServiceManager& manager, Duration* took = nullptr) {
    const auto began = scheduler.elapsed();
    const test::Started started(manager.restartAgent());
    while (!started.done()) {
        scheduler.advance(10ms);
    }
    if (took) {
        *took = scheduler.elapsed() - began;
    }
    return started.result();
}

class ServiceManagerTest : public testing::Test {
protected:
    ~ServiceManagerTest() override { scheduler.advance(2h); }

    app::Result<void, ServiceFailure> restart(Duration* took = nullptr) {
        return restartToEnd(scheduler, manager, took);
    }

    test::VirtualScheduler scheduler;
    ProbedAgent agent{scheduler};
    std::shared_ptr<test::FakeServiceBackend> service = std::make_shared<test::FakeServiceBackend>();
    app::ServiceManager manager{service, std::make_shared<test::FakeServiceBackend>(), agent.probe(),
                                scheduler};
};

// A service never registered is registered and waited for; one that was running is unregistered first,
// given up to 3 s to read as unregistered and 0.3 s to settle.
TEST_F(ServiceManagerTest, ARestartUnregistersSettlesRegistersAndWaits) {
    Duration took{};
    EXPECT_TRUE(restart(&took));
    EXPECT_EQ(service->calls, std::vector<std::string>{"register"});
    EXPECT_LE(took, 10ms);

    service->calls.clear();
    agent.readyAt = scheduler.elapsed() + 1s; // the new agent answers after a second
    EXPECT_TRUE(restart(&took));
    EXPECT_EQ(service->calls, (std::vector<std::string>{"unregister", "register"}));
    EXPECT_GE(took, 1s);
    EXPECT_LE(took, 1s + 300ms + 500ms + 10ms);

    // The service still reads as enabled 3 s after unregistering: the restart goes on.
    service->calls.clear();
    service->statusAfterUnregister = ServiceStatus::enabled;
    EXPECT_TRUE(restart(&took));
    EXPECT_EQ(service->calls, (std::vector<std::string>{"unregister", "register"}));
    EXPECT_GE(took, 3s + 300ms);
    EXPECT_LT(took, 3s + 300ms + 200ms);
}

// Registration is tried twice; a service that waits for approval, or a refusal to unregister, ends the
// restart with its reason.
TEST_F(ServiceManagerTest, RegistrationFailuresAndApproval) {
    service->registerFailures = {PlatformError{"busy"}};
    EXPECT_TRUE(restart());
    EXPECT_EQ(service->calls, (std::vector<std::string>{"register", "register"}));

    service->current = ServiceStatus::notRegistered;
    service->calls.clear();
    service->registerFailures = {PlatformError{"first"}, PlatformError{"second"}};
    EXPECT_EQ(restart().error(), ServiceFailure(ServiceManagerError::registerFailed("second")));

    service->calls.clear();
    service->statusAfterRegister = ServiceStatus::requiresApproval;
    EXPECT_EQ(restart().error(), ServiceFailure(ServiceManagerError::requiresApproval()));
    EXPECT_EQ(service->calls, (std::vector<std::string>{"register", "openSettings"}));

    service->current = ServiceStatus::enabled;
    service->unregisterFailure = PlatformError{"Access denied"};
    service->calls.clear();
    EXPECT_EQ(restart().error(), ServiceFailure(PlatformError{"Access denied"}));
    EXPECT_EQ(service->calls, std::vector<std::string>{"unregister"});
}

// An agent that never answers: 2 s probes 0.5 s apart, and the end comes once 0.5 s or less is left of
// the 10 s. One that refuses at once is probed every 0.5 s.
TEST_F(ServiceManagerTest, AnAgentThatNeverAnswersDidNotStart) {
    agent.readyAt = 1h;
    agent.hangs = true;
    Duration took{};
    EXPECT_EQ(restart(&took).error(), ServiceFailure(ServiceManagerError::agentDidNotStart()));
    EXPECT_EQ(agent.probedAt, (std::vector<Duration>{0s, 2500ms, 5s, 7500ms}));
    EXPECT_GE(took, 9500ms);
    EXPECT_LT(took, 9500ms + 10ms);

    agent.probedAt.clear();
    agent.hangs = false;
    service->current = ServiceStatus::notRegistered;
    const auto began = scheduler.elapsed();
    EXPECT_EQ(restart().error(), ServiceFailure(ServiceManagerError::agentDidNotStart()));
    ASSERT_EQ(agent.probedAt.size(), 20u);
    EXPECT_EQ(agent.probedAt.back() - began, 9500ms);
}

// Registering on request: a service left waiting for approval is no error, another failure is.
TEST_F(ServiceManagerTest, RegisteringTheAgent) {
    EXPECT_TRUE(test::Started(manager.registerAgent()).result());
    service->current = ServiceStatus::notRegistered;
    service->registerFailures = {PlatformError{"No such unit"}};
    EXPECT_EQ(test::Started(manager.registerAgent()).result().error(), PlatformError{"No such unit"});

    service->calls.clear();
    service->registerFailures = {PlatformError{"masked"}};
    service->current = ServiceStatus::requiresApproval;
    EXPECT_TRUE(test::Started(manager.registerAgent()).result());
    EXPECT_EQ(service->calls, (std::vector<std::string>{"register", "openSettings"}));
}

// The restart over the agent's systemd unit and a service manager that enables by linking the unit, as
// the real one does: from enabled it stops, disables and reloads, finds the unit unregistered at once,
// settles, then enables, reloads and starts. A refusal to stop ends it with the manager's text before
// anything is registered; a start that never answers ends each of the two registrations at the call limit.
TEST(ServiceManagerOverSystemd, RestartsThroughTheUnitAndItsManager) {
    using Calls = test::FakeSystemdUserManager::Calls;
    const Calls& registering = test::FakeSystemdUserManager::registering;
    const Calls& unregistering = test::FakeSystemdUserManager::unregistering;
    const auto joined = [](std::initializer_list<Calls> parts) {
        Calls calls;
        for (const Calls& part : parts) {
            calls.insert(calls.end(), part.begin(), part.end());
        }
        return calls;
    };
    struct Row {
        std::string what;
        std::map<std::string, PlatformError> errors;
        std::string silent;
        app::Result<void, ServiceFailure> expected;
        Calls calls;
        Duration took;
    };
    const std::vector<Row> table{
        {"clean", {}, {}, {}, joined({unregistering, registering}), 300ms},
        {"stop refused",
         {{unregistering.front(), PlatformError{"Access denied"}}},
         {},
         ServiceFailure(PlatformError{"Access denied"}),
         {unregistering.front()},
         0s},
        {"start unanswered",
         {},
         registering.back(),
         ServiceFailure(ServiceManagerError::registerFailed("the service manager did not answer within 3 s")),
         joined({unregistering, registering, registering}),
         300ms + 3s + 3s},
    };

    test::TemporaryDirectory folder;
    const std::filesystem::path agentProgram = folder / "bin" / "kestrava-agent";
    std::filesystem::create_directories(agentProgram.parent_path());
    test::writeText(agentProgram, "#!/bin/sh\n");
    test::VirtualScheduler scheduler;
    const auto systemd = std::make_shared<test::FakeSystemdUserManager>(scheduler);
    systemd->wantsFolder = folder / "config" / "systemd" / "user" / "default.target.wants";
    const auto unit = std::make_shared<app::SystemdUserUnit>(
        systemd, scheduler, folder / "config", agentProgram, 3s,
        app::SystemUnitFolders{folder / "etc" / "systemd" / "user",
                               folder / "usr" / "lib" / "systemd" / "user"});
    ProbedAgent agent{scheduler};
    app::ServiceManager manager{unit, std::make_shared<test::FakeServiceBackend>(), agent.probe(), scheduler};

    EXPECT_TRUE(restartToEnd(scheduler, manager));
    EXPECT_EQ(systemd->calls, registering);
    for (const Row& row : table) {
        ASSERT_EQ(unit->status(), ServiceStatus::enabled) << row.what;
        systemd->calls.clear();
        systemd->errors = row.errors;
        systemd->silent = row.silent;
        Duration took{};
        EXPECT_EQ(restartToEnd(scheduler, manager, &took), row.expected) << row.what;
        EXPECT_EQ(systemd->calls, row.calls) << row.what;
        EXPECT_GE(took, row.took) << row.what;
        EXPECT_LT(took, row.took + 10ms) << row.what;
        systemd->answerSilentCalls();
        scheduler.runPosted();
    }
}

} // namespace
} // namespace kestrava
