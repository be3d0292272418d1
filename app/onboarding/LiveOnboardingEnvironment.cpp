#include "app/onboarding/LiveOnboardingEnvironment.hpp"

#include "app/system/ApplicationMove.hpp"
#include "app/system/PkexecAdminRunner.hpp"
#include "app/system/SleepMinutes.hpp"
#include "platform/process/Process.hpp"

#include <QCoro/QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

namespace kestrava::app {
namespace {

class ClientOnboardingAgent final : public OnboardingAgent {
public:
    explicit ClientOnboardingAgent(std::shared_ptr<AgentClient> client) : client_(std::move(client)) {}

    QCoro::Task<AgentResult<AgentStatus>> status() override { return client_->status(); }
    QCoro::Task<AgentResult<std::vector<PhoneInfo>>> phones() override { return client_->phones(); }
    QCoro::Task<AgentResult<bool>> hasFullDiskAccess() override { return client_->hasFullDiskAccess(); }

private:
    const std::shared_ptr<AgentClient> client_;
};

class ManagedOnboardingService final : public OnboardingService {
public:
    explicit ManagedOnboardingService(std::shared_ptr<AppState> state) : state_(std::move(state)) {}

    ServiceStatus agentStatus() const override { return state_->serviceManager().agent().status(); }

    QCoro::Task<Result<void, ServiceFailure>> registerAgent() override {
        const auto keep = state_;
        auto registering = keep->serviceManager().registerAgent();
        const auto registered = co_await registering;
        if (!registered) {
            co_return ServiceFailure(registered.error());
        }
        co_return Result<void, ServiceFailure>{};
    }

    QCoro::Task<Result<void, ServiceFailure>> restartAgent() override {
        const auto keep = state_;
        auto restarting = keep->serviceManager().restartAgent();
        co_return co_await restarting;
    }

private:
    const std::shared_ptr<AppState> state_;
};

QCoro::Task<std::int64_t> readSleepMinutes() {
    QFuture<std::int64_t> reading = QtConcurrent::run(currentSleepMinutes);
    co_return co_await reading;
}

} // namespace

OnboardingEnvironment liveOnboardingEnvironment(std::shared_ptr<AppState> state) {
    OnboardingEnvironment environment;
    environment.agent = std::make_shared<ClientOnboardingAgent>(state->sharedClient());
    environment.service = std::make_shared<ManagedOnboardingService>(state);
    environment.admin = std::make_shared<PkexecAdminRunner>();
    environment.facts = probeSystemFacts;
    environment.currentSleep = readSleepMinutes;
    environment.defaults = state->sharedDefaults();
    const auto folder = process::executableDirectory();
    environment.bundlePath = folder ? folder->string() : std::string();
    environment.moveToApplications = moveToApplications;
    return environment;
}

} // namespace kestrava::app
