#include "app/onboarding/OnboardingFlow.hpp"
#include "app/state/AppError.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/ScriptedOnboarding.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/support/EnvironmentOverride.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using app::AgentClientError;
using app::OnboardingStep;
using app::PlatformError;
using app::PowerSetupResult;
using app::ServiceFailure;
using app::ServiceManagerError;
using app::ServiceStatus;
using app::StepState;
using Duration = app::Scheduler::Clock::duration;

using ScriptedAgent = test::ScriptedOnboardingAgent;
using ScriptedService = test::ScriptedOnboardingService;

class OnboardingFlowTest : public testing::Test {
protected:
    OnboardingFlowTest() { test::ensureQtApplication(); }
    ~OnboardingFlowTest() override { scheduler.advance(1h); }

    std::shared_ptr<app::OnboardingFlow> makeFlow() {
        scripted.agent = agent;
        scripted.service = service;
        flow = app::OnboardingFlow::make(scripted.environment(), scheduler, [this] { ++finished; });
        return flow;
    }

    // Moves the virtual clock, and lets the Qt loop bring back the administrator thread's results, until
    // `started` has ended.
    template<class T>
    void awaitEnd(const test::Started<T>& started) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!started.done() && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents();
            scheduler.advance(10ms);
        }
        EXPECT_TRUE(started.done());
    }

    template<class T>
    void finish(QCoro::Task<T> task) {
        awaitEnd(test::Started<T>(std::move(task)));
    }

    // Starts the agent; how long the start took.
    Duration startAgent() {
        const auto began = scheduler.elapsed();
        finish(flow->startAgent());
        return scheduler.elapsed() - began;
    }

    test::VirtualScheduler scheduler;
    test::ScriptedOnboarding scripted{scheduler};
    std::shared_ptr<ScriptedAgent> agent = scripted.agent;
    std::shared_ptr<ScriptedService> service = scripted.service;
    std::shared_ptr<test::ScriptedAdmin> admin = scripted.admin;
    std::shared_ptr<app::Defaults> defaults = scripted.defaults;
    test::EnvironmentOverride desktop{"XDG_CURRENT_DESKTOP", "KDE"}; // no GNOME step in the power apply
    app::SystemFacts& facts = scripted.facts;
    std::int64_t& sleepMinutes = scripted.sleepMinutes;
    int& factsReads = scripted.factsReads;
    int& sleepReads = scripted.sleepReads;
    std::string& bundlePath = scripted.bundlePath;
    int finished = 0;
    std::shared_ptr<app::OnboardingFlow> flow;
};

// A fresh guide, and walking it: next, back and skip with what they leave behind.
TEST_F(OnboardingFlowTest, WalkingTheSteps) {
    makeFlow();
    EXPECT_EQ(flow->step(), OnboardingStep::agent);
    for (const auto step : {OnboardingStep::agent, OnboardingStep::power, OnboardingStep::fda,
                            OnboardingStep::pair, OnboardingStep::summary}) {
        EXPECT_EQ(flow->state(step), StepState::pending());
    }
    EXPECT_EQ(flow->pmsetSleep(), -1);
    EXPECT_FALSE(flow->facts());
    EXPECT_TRUE(flow->warnings().empty());
    EXPECT_FALSE(flow->canContinue());

    flow->back(); // nothing before the first step
    EXPECT_EQ(flow->step(), OnboardingStep::agent);
    finish(flow->skip());
    EXPECT_EQ(flow->agentState(), StepState::skipped());
    EXPECT_EQ(flow->step(), OnboardingStep::power);
    EXPECT_TRUE(flow->canContinue());

    admin->answer = PowerSetupResult::failed("exit 1");
    finish(flow->applyPower());
    EXPECT_EQ(flow->powerState(), StepState::failed("exit 1"));
    finish(flow->skip()); // a failed step becomes skipped
    EXPECT_EQ(flow->powerState(), StepState::skipped());
    EXPECT_EQ(flow->step(), OnboardingStep::fda);

    finish(flow->checkFullDiskAccess());
    EXPECT_EQ(flow->fdaState(), StepState::done());
    finish(flow->skip()); // a done step stays done
    EXPECT_EQ(flow->fdaState(), StepState::done());
    EXPECT_EQ(flow->step(), OnboardingStep::pair);

    // Skipping the pairing asks the agent nothing; the summary reads the sleep setting again.
    sleepMinutes = 0;
    const int readsBefore = sleepReads;
    finish(flow->skip());
    EXPECT_EQ(agent->phonesCalls, 0);
    EXPECT_EQ(flow->pairState(), StepState::skipped());
    EXPECT_EQ(flow->step(), OnboardingStep::summary);
    EXPECT_EQ(sleepReads, readsBefore + 1);
    EXPECT_EQ(flow->pmsetSleep(), 0);
    EXPECT_TRUE(flow->canContinue());

    finish(flow->skip()); // nothing on the summary
    finish(flow->next());
    EXPECT_EQ(flow->step(), OnboardingStep::summary);
    EXPECT_EQ(sleepReads, readsBefore + 1);

    flow->back();
    EXPECT_EQ(flow->step(), OnboardingStep::pair);
    EXPECT_EQ(flow->pairState(), StepState::skipped());
    flow->finish();
    EXPECT_EQ(finished, 1);
}

// Leaving the pairing step asks the agent for its phones unless the page saw an approval; a doubled next
// goes only as far as the summary.
TEST_F(OnboardingFlowTest, LeavingThePairingStepCountsThePhones) {
    struct Row {
        const char* name;
        std::optional<std::vector<PhoneInfo>> phones;
        bool approvedOnThePage;
        StepState expected;
        int calls;
    };
    const std::vector<Row> rows = {
        {"one phone", std::vector{PhoneInfo{"p1", "iPhone", {}, {}}}, false, StepState::done(), 1},
        {"no phone", std::vector<PhoneInfo>{}, false, StepState::skipped(), 1},
        {"agent unreachable", std::nullopt, false, StepState::skipped(), 1},
        {"approved on the page", std::vector<PhoneInfo>{}, true, StepState::done(), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        agent->phonesCalls = 0;
        agent->phoneList = row.phones;
        makeFlow();
        for (int i = 0; i < 3; ++i) {
            finish(flow->skip());
        }
        ASSERT_EQ(flow->step(), OnboardingStep::pair);
        if (row.approvedOnThePage) {
            flow->setPairState(StepState::done());
        }
        const test::Started<void> first(flow->next());
        const test::Started<void> second(flow->next());
        finish(flow->next());
        EXPECT_EQ(flow->pairState(), row.expected);
        EXPECT_EQ(flow->step(), OnboardingStep::summary);
        EXPECT_EQ(agent->phonesCalls, row.calls * 3);
    }
}

// Starting the agent: registration and its failures, the wait of 15 s with its 2 s probes, the one
// restart, and each way the start can end.
TEST_F(OnboardingFlowTest, StartingTheAgent) {
    const QString startFailure = app::OnboardingFlow::agentStartFailureText();
    struct Row {
        const char* name;
        std::function<void(ScriptedAgent&, ScriptedService&)> setUp;
        StepState expected;
        int restarts;
        Duration atMost;
        Duration atLeast = 0s;
    };
    const std::vector<Row> rows = {
        {"answers at once", [](auto& agent, auto&) { agent.readyAt = 0s; }, StepState::done(), 0, 10ms},
        {"answers after 5 s", [](auto& agent, auto&) { agent.readyAt = 5s; }, StepState::done(), 0, 6s + 10ms,
         6s},
        {"answers after the restart",
         [](auto& agent, auto& service) { service.onRestart = [&agent] { agent.readyAt = 0s; }; },
         StepState::done(), 1, 16s + 10ms, 16s},
        {"never answers", [](auto&, auto&) {}, StepState::failed(startFailure), 1, 31s + 10ms, 31s},
        {"never answers and hangs: each probe is cut at 2 s", [](auto& agent, auto&) { agent.latency = 1h; },
         StepState::failed(startFailure), 1, 31s + 10ms, 31s},
        {"the restart fails",
         [](auto&, auto& service) { service.restartFailure = PlatformError{"Access denied"}; },
         StepState::failed(startFailure), 1, 16s + 10ms},
        {"the restart finds the service blocked",
         [](auto&, auto& service) { service.restartFailure = ServiceManagerError::requiresApproval(); },
         StepState::needsApproval(), 1, 16s + 10ms},
        {"the service is blocked after a failed restart",
         [](auto&, auto& service) {
             service.restartFailure = ServiceManagerError::agentDidNotStart();
             service.statusAfterRestart = ServiceStatus::requiresApproval;
         },
         StepState::needsApproval(), 1, 16s + 10ms},
        {"the service is blocked during the wait",
         [](auto& agent, auto& service) {
             agent.latency = 1s;
             agent.onStatus = [&agent, &service] {
                 if (agent.statusCalls.size() == 2) {
                     service.status = ServiceStatus::requiresApproval;
                 }
             };
         },
         StepState::needsApproval(), 0, 4s + 10ms, 4s},
        {"registration fails while the service is enabled",
         [](auto& agent, auto& service) {
             agent.readyAt = 0s;
             service.registerFailure = PlatformError{"Unit file exists"};
         },
         StepState::done(), 0, 10ms},
        {"registration fails",
         [](auto&, auto& service) {
             service.registerFailure = PlatformError{"No user manager"};
             service.statusAfterRegister = ServiceStatus::notRegistered;
         },
         StepState::failed("No user manager"), 0, 10ms},
        {"registration leaves the service blocked",
         [](auto&, auto& service) { service.statusAfterRegister = ServiceStatus::requiresApproval; },
         StepState::needsApproval(), 0, 10ms},
        {"registration's own approval error is no failure",
         [](auto& agent, auto& service) {
             agent.readyAt = 0s;
             service.registerFailure = ServiceManagerError::requiresApproval();
         },
         StepState::done(), 0, 10ms},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        agent = std::make_shared<ScriptedAgent>(scheduler);
        service = std::make_shared<ScriptedService>(scheduler);
        row.setUp(*agent, *service);
        makeFlow();
        const Duration took = startAgent();
        EXPECT_EQ(flow->agentState(), row.expected);
        EXPECT_EQ(service->restarts(), row.restarts);
        EXPECT_LE(took, row.atMost);
        EXPECT_GE(took, row.atLeast);
    }
}

// The poll may find the agent answering while the wait's last probe, cut short by the deadline, fails:
// that agent is not restarted. And a restart that fails after the poll saw the agent never leaves the
// step done.
TEST_F(OnboardingFlowTest, WhatThePollFindsDuringAStart) {
    agent->latency = 1500ms; // the wait's probes end at 1.5 s, 5 s, 8.5 s, 12 s and, cut, at 15 s
    makeFlow();
    const test::Started<void> starting(flow->startAgent());
    scheduler.advance(14200ms);
    agent->readyAt = 0s;
    agent->latency = 100ms;
    finish(flow->checkAgentOnce());
    finish(flow->startAgent() /* a second start returns at once: the step is done */);
    awaitEnd(starting);
    EXPECT_EQ(flow->agentState(), StepState::done());
    EXPECT_EQ(service->restarts(), 0);

    agent = std::make_shared<ScriptedAgent>(scheduler);
    service = std::make_shared<ScriptedService>(scheduler);
    service->restartTakes = 3s;
    service->restartFailure = PlatformError{"Connection timed out"};
    makeFlow();
    const test::Started<void> restarting(flow->startAgent());
    scheduler.advance(16s); // restarting now
    agent->readyAt = 0s;
    finish(flow->checkAgentOnce());
    EXPECT_EQ(flow->agentState(), StepState::done());
    awaitEnd(restarting);
    EXPECT_EQ(flow->agentState(), StepState::failed(app::OnboardingFlow::agentStartFailureText()));
}

// A copy on removable media or a temporary mount neither registers nor probes its agent, and the agent step
// cannot be left with next; the test is exact and case-sensitive.
TEST_F(OnboardingFlowTest, ARelocatedCopyLeavesTheAgentAlone) {
    struct Row {
        const char* path;
        bool relocated;
    };
    const std::vector<Row> rows = {
        {"/media/anna/USB/Kestrava", true},
        {"/run/media/anna/USB/Kestrava", true},
        {"/mnt/stick/Kestrava", true},
        {"/tmp/.mount_KestrXyz12/usr/bin", true},
        {"/home/anna/Applications/Kestrava", false},
        {"/Media/anna/Kestrava", false},
        {"/opt/kestrava", false},
        {"/home/anna/media/Kestrava", false},
    };
    agent->readyAt = 0s;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        bundlePath = row.path;
        agent->statusCalls.clear();
        service->calls.clear();
        makeFlow();
        EXPECT_EQ(flow->isRelocated(), row.relocated);
        startAgent();
        const auto stop = std::make_shared<app::CancelToken>();
        const test::Started<void> polling(flow->poll(stop));
        scheduler.advance(5s);
        stop->cancel();
        scheduler.runPosted();
        EXPECT_TRUE(polling.done());
        EXPECT_EQ(flow->agentState(), row.relocated ? StepState::pending() : StepState::done());
        EXPECT_EQ(agent->statusCalls.empty(), row.relocated);
        EXPECT_EQ(service->calls.empty(), row.relocated);
        EXPECT_EQ(flow->canContinue(), !row.relocated);
    }
}

// The poll looks at the current step afresh on every pass: an agent already running marks its step done
// without a click, a blocked service shows as such, access found and lost again is followed; a cancelled
// poll ends at once.
TEST_F(OnboardingFlowTest, ThePollFollowsTheCurrentStep) {
    service->status = ServiceStatus::requiresApproval;
    makeFlow();
    auto stop = std::make_shared<app::CancelToken>();
    const test::Started<void> polling(flow->poll(stop));
    scheduler.runPosted();
    EXPECT_EQ(flow->agentState(), StepState::needsApproval());
    agent->readyAt = 3s;
    scheduler.advance(4s);
    EXPECT_EQ(flow->agentState(), StepState::done());
    EXPECT_EQ(agent->statusCalls, (std::vector<Duration>{0s, 2s, 4s}));
    scheduler.advance(10s);
    EXPECT_EQ(agent->statusCalls.size(), 3u); // done: asked no more
    stop->cancel();
    scheduler.runPosted();
    EXPECT_TRUE(polling.done());

    finish(flow->next());
    finish(flow->next());
    ASSERT_EQ(flow->step(), OnboardingStep::fda);
    agent->fullDiskAccess = false;
    stop = std::make_shared<app::CancelToken>();
    const test::Started<void> pollingAccess(flow->poll(stop));
    scheduler.advance(3s);
    EXPECT_EQ(flow->fdaState(), StepState::pending());
    agent->fullDiskAccess = true;
    scheduler.advance(2s);
    EXPECT_EQ(flow->fdaState(), StepState::done());
    agent->fullDiskAccess = std::nullopt; // unreadable counts as no access
    finish(flow->checkFullDiskAccess());
    EXPECT_EQ(flow->fdaState(), StepState::pending());
    stop->cancel();
    scheduler.runPosted();
    EXPECT_TRUE(pollingAccess.done());
}

// Applying the power settings: charger only on a laptop, the facts read first when unknown, a refused
// prompt skipped, a failure kept with its text; the sleep setting is read again whatever came of it.
TEST_F(OnboardingFlowTest, ApplyingThePowerSettings) {
    struct Row {
        const char* name;
        bool laptop;
        PowerSetupResult answer;
        StepState expected;
        std::optional<std::string> storedFlag;
    };
    const std::vector<Row> rows = {
        {"laptop", true, PowerSetupResult::applied(), StepState::done(), "-c"},
        {"desktop", false, PowerSetupResult::applied(), StepState::done(), "-a"},
        {"prompt refused", true, PowerSetupResult::cancelled(), StepState::skipped(), std::nullopt},
        {"failed", false, PowerSetupResult::failed("exit 4"), StepState::failed("exit 4"), std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        defaults->remove("powerApplied");
        defaults->remove("powerAppliedFlags");
        facts.isLaptop = row.laptop;
        admin->answer = row.answer;
        factsReads = 0;
        sleepReads = 0;
        makeFlow();
        finish(flow->applyPower());
        EXPECT_EQ(flow->powerState(), row.expected);
        EXPECT_EQ(defaults->text("powerAppliedFlags"), row.storedFlag);
        EXPECT_EQ(factsReads, 1);
        EXPECT_EQ(sleepReads, 2); // with the facts, and after the apply
        EXPECT_EQ(flow->pmsetSleep(), 10);
        finish(flow->applyPower()); // the facts are known now
        EXPECT_EQ(factsReads, 1);
    }
}

// The summary's warnings, in their order, each at most once.
TEST_F(OnboardingFlowTest, WarningsFollowTheFacts) {
    using app::LaptopLid;
    using app::RebootNeedsLogin;
    using app::SleepEnabled;
    struct Row {
        const char* name;
        std::optional<app::SystemFacts> facts;
        std::int64_t sleep;
        std::vector<app::OnboardingWarning> expected;
    };
    const std::vector<Row> rows = {
        {"encrypted laptop that sleeps",
         app::SystemFacts{true, std::nullopt, true},
         10,
         {RebootNeedsLogin{true}, LaptopLid{}, SleepEnabled{10}}},
        {"automatic login, disk open", app::SystemFacts{false, "anna", false}, 0, {}},
        {"automatic login, disk encrypted",
         app::SystemFacts{true, "anna", false},
         -1,
         {RebootNeedsLogin{true}}},
        {"encryption unknown, nobody logs in",
         app::SystemFacts{std::nullopt, std::nullopt, false},
         1,
         {RebootNeedsLogin{false}, SleepEnabled{1}}},
        {"no facts yet", std::nullopt, 30, {SleepEnabled{30}}},
        {"no facts, never sleeps", std::nullopt, 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        makeFlow();
        if (row.facts) {
            facts = *row.facts;
        }
        sleepMinutes = row.sleep;
        if (row.facts) {
            finish(flow->refreshFacts());
        } else {
            for (int i = 0; i < 4; ++i) {
                finish(flow->skip()); // the summary reads the sleep setting alone
            }
        }
        EXPECT_EQ(flow->warnings(), row.expected);
    }
}

// The model tells its views only of real changes.
TEST_F(OnboardingFlowTest, ChangesAreAnnouncedOnlyWhenAFieldChanges) {
    agent->readyAt = 0s;
    makeFlow();
    int announced = 0;
    QObject::connect(flow.get(), &app::OnboardingFlow::changed, [&] { ++announced; });
    finish(flow->refreshFacts());
    EXPECT_EQ(announced, 2); // facts, then the sleep setting
    finish(flow->refreshFacts());
    EXPECT_EQ(announced, 2);
    finish(flow->checkAgentOnce());
    finish(flow->checkAgentOnce());
    EXPECT_EQ(announced, 3);
    scripted.moveAnswer = QStringLiteral("no room");
    finish(flow->moveToApplications());
    finish(flow->moveToApplications());
    EXPECT_EQ(announced, 4);
}

} // namespace
} // namespace kestrava
