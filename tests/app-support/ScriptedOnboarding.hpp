#pragma once

#include "app/async/Scheduler.hpp"
#include "app/async/Sleep.hpp"
#include "app/onboarding/OnboardingEnvironment.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace kestrava::test {

// An agent whose answers the test scripts. Each status call is decided when it is made: from `readyAt`
// (time since the agent was made) on it answers, before that it fails; either way after `latency`.
struct ScriptedOnboardingAgent final : app::OnboardingAgent,
                                       std::enable_shared_from_this<ScriptedOnboardingAgent> {
    using Duration = app::Scheduler::Clock::duration;

    explicit ScriptedOnboardingAgent(app::Scheduler& scheduler)
        : scheduler(scheduler), made(scheduler.now()) {}

    Duration elapsed() const { return scheduler.now() - made; }

    QCoro::Task<app::AgentResult<AgentStatus>> status() override {
        const auto keep = shared_from_this(); // a call cut off by its limit still ends later
        statusCalls.push_back(elapsed());
        if (onStatus) {
            onStatus();
        }
        const bool ready = readyAt && elapsed() >= *readyAt;
        co_await app::sleepFor(scheduler, latency);
        if (!ready) {
            co_return app::AgentClientError::connection("Connection refused");
        }
        co_return AgentStatus{};
    }

    QCoro::Task<app::AgentResult<std::vector<PhoneInfo>>> phones() override {
        const auto keep = shared_from_this();
        ++phonesCalls;
        co_await app::sleepFor(scheduler, phonesLatency);
        if (!phoneList) {
            co_return app::AgentClientError::timeout();
        }
        co_return std::vector<PhoneInfo>(*phoneList); // a copy: QCoro moves from what it is given
    }

    QCoro::Task<app::AgentResult<bool>> hasFullDiskAccess() override {
        if (!fullDiskAccess) {
            co_return app::AgentClientError::badReply();
        }
        co_return *fullDiskAccess;
    }

    app::Scheduler& scheduler;
    const app::Scheduler::Clock::time_point made;
    std::optional<Duration> readyAt; // none: never
    Duration latency{};
    Duration phonesLatency = std::chrono::seconds(1);
    std::function<void()> onStatus;
    std::vector<Duration> statusCalls;
    std::optional<std::vector<PhoneInfo>> phoneList = std::vector<PhoneInfo>{}; // none: the call fails
    int phonesCalls = 0;
    std::optional<bool> fullDiskAccess = true; // none: the call fails
};

// The agent's service as the test scripts it.
struct ScriptedOnboardingService final : app::OnboardingService {
    using Duration = app::Scheduler::Clock::duration;

    explicit ScriptedOnboardingService(app::Scheduler& scheduler) : scheduler(scheduler) {}

    app::ServiceStatus agentStatus() const override { return status; }

    QCoro::Task<app::Result<void, app::ServiceFailure>> registerAgent() override {
        calls.push_back("register");
        if (onRegister) {
            onRegister();
        }
        status = statusAfterRegister;
        if (registerFailure) {
            co_return app::ServiceFailure(*registerFailure);
        }
        co_return app::Result<void, app::ServiceFailure>{};
    }

    QCoro::Task<app::Result<void, app::ServiceFailure>> restartAgent() override {
        calls.push_back("restart");
        co_await app::sleepFor(scheduler, restartTakes);
        if (onRestart) {
            onRestart();
        }
        status = statusAfterRestart;
        if (restartFailure) {
            co_return app::ServiceFailure(*restartFailure);
        }
        co_return app::Result<void, app::ServiceFailure>{};
    }

    int restarts() const { return static_cast<int>(std::count(calls.begin(), calls.end(), "restart")); }

    app::Scheduler& scheduler;
    app::ServiceStatus status = app::ServiceStatus::notRegistered;
    app::ServiceStatus statusAfterRegister = app::ServiceStatus::enabled;
    std::optional<app::ServiceFailure> registerFailure;
    std::function<void()> onRegister;
    app::ServiceStatus statusAfterRestart = app::ServiceStatus::enabled;
    std::optional<app::ServiceFailure> restartFailure;
    Duration restartTakes = std::chrono::seconds(1);
    std::function<void()> onRestart;
    std::vector<std::string> calls;
};

// Answers every administrator command the same way, on the administrator thread; while `held`, a command
// waits there until the test lets go.
struct ScriptedAdmin final : app::AdminRunner {
    app::PowerSetupResult run(const std::string& command) override {
        std::unique_lock lock(mutex);
        commands.push_back(command);
        released.wait(lock, [this] { return !held; });
        return answer;
    }

    void letGo() {
        const std::lock_guard lock(mutex);
        held = false;
        released.notify_all();
    }

    std::mutex mutex;
    std::condition_variable released;
    bool held = false;
    app::PowerSetupResult answer = app::PowerSetupResult::applied();
    std::vector<std::string> commands;
};

// Every service of the guide scripted, and the guide's environment over them.
struct ScriptedOnboarding {
    explicit ScriptedOnboarding(app::Scheduler& scheduler) : scheduler(scheduler) {}

    app::OnboardingEnvironment environment() {
        app::OnboardingEnvironment made;
        made.agent = agent;
        made.service = service;
        made.admin = admin;
        made.facts = [this]() -> QCoro::Task<app::SystemFacts> {
            ++factsReads;
            co_return app::SystemFacts(facts); // a copy: QCoro moves from what it is given
        };
        made.currentSleep = [this]() -> QCoro::Task<std::int64_t> {
            ++sleepReads;
            co_return sleepMinutes;
        };
        made.defaults = defaults;
        made.bundlePath = bundlePath;
        made.moveToApplications = [this]() -> QCoro::Task<std::optional<QString>> {
            ++moves;
            co_return std::optional<QString>(moveAnswer);
        };
        return made;
    }

    app::Scheduler& scheduler;
    std::shared_ptr<ScriptedOnboardingAgent> agent = std::make_shared<ScriptedOnboardingAgent>(scheduler);
    std::shared_ptr<ScriptedOnboardingService> service =
        std::make_shared<ScriptedOnboardingService>(scheduler);
    std::shared_ptr<ScriptedAdmin> admin = std::make_shared<ScriptedAdmin>();
    TemporaryDirectory folder;
    std::shared_ptr<app::Defaults> defaults = std::make_shared<app::Defaults>(folder / "Kestrava.conf");
    app::SystemFacts facts;
    std::int64_t sleepMinutes = 10;
    std::string bundlePath = "/opt/kestrava";
    std::optional<QString> moveAnswer;
    int factsReads = 0;
    int sleepReads = 0;
    int moves = 0;
};

} // namespace kestrava::test
