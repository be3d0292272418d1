#include "app/system/ServiceManager.hpp"

#include "app/async/Sleep.hpp"
#include "app/async/Within.hpp"

#include <algorithm>

namespace kestrava::app {

QCoro::Task<bool> probe(Scheduler& scheduler, StatusProbe statusProbe, Scheduler::Clock::duration limit) {
    // Made apart from the co_await: GCC 12 destroys a coroutine argument built inside one twice.
    auto limited = within(scheduler, limit, statusProbe());
    const auto answer = co_await limited;
    co_return answer && answer->ok();
}

ServiceManager::ServiceManager(std::shared_ptr<AppServiceBackend> agent,
                               std::shared_ptr<AppServiceBackend> mainApp, StatusProbe statusProbe,
                               Scheduler& scheduler, Timings timings)
    : agent_(std::move(agent)), mainApp_(std::move(mainApp)), statusProbe_(std::move(statusProbe)),
      scheduler_(scheduler), timings_(timings) {}

QCoro::Task<Result<void, PlatformError>> ServiceManager::registerAgent() {
    const auto registered = co_await agent_->registerService();
    if (!registered && !awaitsApproval()) {
        co_return registered;
    }
    if (awaitsApproval()) {
        agent_->openSystemSettingsLoginItems();
    }
    co_return Result<void, PlatformError>{};
}

QCoro::Task<Result<void, ServiceFailure>> ServiceManager::restartAgent() {
    if (agent_->status() != ServiceStatus::notRegistered) {
        const auto unregistered = co_await agent_->unregisterService();
        if (!unregistered) {
            co_return ServiceFailure(unregistered.error());
        }
        // The service may take a moment to read as unregistered; past the limit the restart goes on.
        const auto deadline = scheduler_.now() + timings_.unregisterTimeout;
        const Duration step = std::min<Duration>(std::chrono::milliseconds(100), timings_.pollInterval);
        while (agent_->status() != ServiceStatus::notRegistered && scheduler_.now() < deadline) {
            co_await sleepFor(scheduler_, step);
        }
        co_await sleepFor(scheduler_, timings_.unregisterSettle);
    }
    const auto registered = co_await registerAgain();
    if (!registered) {
        co_return registered;
    }
    const auto answering = co_await waitUntilAnswering();
    co_return answering;
}

QCoro::Task<Result<void, ServiceFailure>> ServiceManager::registerAgain() {
    const auto first = co_await agent_->registerService();
    if (!first && !awaitsApproval()) {
        const auto second = co_await agent_->registerService();
        if (!second && !awaitsApproval()) {
            co_return ServiceFailure(ServiceManagerError::registerFailed(second.error().description));
        }
    }
    if (awaitsApproval()) {
        agent_->openSystemSettingsLoginItems();
        co_return ServiceFailure(ServiceManagerError::requiresApproval());
    }
    co_return Result<void, ServiceFailure>{};
}

QCoro::Task<Result<void, ServiceFailure>> ServiceManager::waitUntilAnswering() {
    const auto deadline = scheduler_.now() + timings_.restartDeadline;
    for (;;) {
        const Duration left = deadline - scheduler_.now();
        if (left <= Duration::zero()) {
            break;
        }
        auto probing = probe(scheduler_, statusProbe_, std::min(left, timings_.probeTimeout));
        if (co_await probing) {
            co_return Result<void, ServiceFailure>{};
        }
        if (deadline - scheduler_.now() <= timings_.pollInterval) {
            break;
        }
        co_await sleepFor(scheduler_, timings_.pollInterval);
    }
    co_return ServiceFailure(ServiceManagerError::agentDidNotStart());
}

} // namespace kestrava::app
