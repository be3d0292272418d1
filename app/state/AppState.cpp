#include "app/state/AppState.hpp"

#include "agent-core/runtime/TestHarness.hpp"
#include "app/async/Sleep.hpp"
#include "app/runtime/UiText.hpp"
#include "app/state/AfterUpdate.hpp"

namespace kestrava::app {
namespace {

constexpr auto pollInterval = std::chrono::seconds(15);
constexpr const char* onboardingDoneKey = "onboardingDone";

} // namespace

std::shared_ptr<AppState> AppState::make(std::shared_ptr<ServiceManager> serviceManager,
                                         std::shared_ptr<AgentClient> client,
                                         std::shared_ptr<Defaults> defaults, Scheduler& scheduler) {
    return std::shared_ptr<AppState>(
        new AppState(std::move(serviceManager), std::move(client), std::move(defaults), scheduler));
}

AppState::AppState(std::shared_ptr<ServiceManager> serviceManager, std::shared_ptr<AgentClient> client,
                   std::shared_ptr<Defaults> defaults, Scheduler& scheduler)
    : serviceManager_(std::move(serviceManager)), client_(std::move(client)), defaults_(std::move(defaults)),
      scheduler_(scheduler), serviceStatus_(serviceManager_->agent().status()),
      launchAtLogin_(serviceManager_->mainApp().status() == ServiceStatus::enabled),
      onboardingDone_(defaults_->boolean(onboardingDoneKey).value_or(false)) {}

void AppState::setOnboardingDone(bool done) {
    assign(onboardingDone_, done);
    defaults_->setBoolean(onboardingDoneKey, done);
}

void AppState::setPendingPairing(std::optional<PendingPairingInfo> pending) {
    if (pendingPairing_ != pending) {
        pendingPairing_ = std::move(pending);
        emit pendingPairingChanged();
        emit changed();
    }
}

void AppState::start() {
    if (std::exchange(started_, true)) {
        return;
    }
    observeEvents(weak_from_this(), client_->events());
    poll(weak_from_this(), &scheduler_);
}

QCoro::Task<> AppState::observeEvents(std::weak_ptr<AppState> weak,
                                      std::shared_ptr<BoundedChannel<AgentEvent>> events) {
    // Events that arrive during a refresh wait in the stream; the stream ends with the client.
    while (co_await events->next()) {
        if (const auto state = weak.lock()) {
            co_await state->refresh();
        }
    }
}

QCoro::Task<> AppState::poll(std::weak_ptr<AppState> weak, Scheduler* scheduler) {
    for (;;) {
        if (const auto state = weak.lock()) {
            co_await state->refresh();
        } else {
            co_return;
        }
        co_await sleepFor(*scheduler, pollInterval);
    }
}

QCoro::Task<> AppState::refresh() {
    if (const auto run = refreshRun_) {
        refreshAgain_ = true;
        co_await run->wait();
        co_return;
    }
    const auto run = std::make_shared<Completion>(scheduler_);
    refreshRun_ = run;
    runRefreshes(weak_from_this(), run);
    co_await run->wait();
}

QCoro::Task<> AppState::runRefreshes(std::weak_ptr<AppState> weak, std::shared_ptr<Completion> run) {
    for (;;) {
        const auto state = weak.lock();
        if (!state) {
            break;
        }
        state->refreshAgain_ = false;
        co_await state->refreshOnce();
        if (!state->refreshAgain_) {
            state->refreshRun_.reset();
            break;
        }
    }
    run->complete();
}

QCoro::Task<> AppState::refreshOnce() {
    std::optional<AppError> first;
    assign(serviceStatus_, serviceManager_->agent().status());

    const auto status = co_await client_->status();
    if (status) {
        assign(status_, std::optional(status.value()));
        assign(lastUpdated_, std::optional(wallClockNow()));
    } else {
        assign(status_, std::optional<AgentStatus>());
        first = status.error();
    }

    const auto phones = co_await client_->phones();
    if (phones) {
        assign(phones_, phones.value());
    } else if (!first) {
        first = phones.error();
    }

    const auto pending = co_await client_->pendingPairing();
    if (pending) {
        setPendingPairing(pending.value());
    } else if (!first) {
        first = pending.error();
    }

    assign(lastError_, first ? std::optional(message(*first)) : std::nullopt);
}

std::optional<QString> AppState::serviceStatusText() const {
    switch (serviceStatus_) {
    case ServiceStatus::notRegistered:
        return uiText("Agent chưa được bật");
    case ServiceStatus::enabled:
        return std::nullopt;
    case ServiceStatus::requiresApproval:
        return message(ServiceManagerError::requiresApproval());
    case ServiceStatus::notFound:
        return uiText("Không tìm thấy agent trong app");
    }
    return uiText("Trạng thái agent không rõ");
}

QCoro::Task<> AppState::finishAction(std::optional<AppError> failure) {
    const std::optional<QString> text = failure ? std::optional(message(*failure)) : std::nullopt;
    co_await refresh();
    assign(actionError_, text);
}

QCoro::Task<> AppState::enableAgent() {
    const auto self = shared_from_this();
    const auto registered = co_await serviceManager_->registerAgent();
    if (!registered) {
        assign(lastError_, std::optional(message(registered.error())));
    }
    assign(serviceStatus_, serviceManager_->agent().status());
    if (serviceStatus_ == ServiceStatus::enabled) {
        co_await refresh();
    }
}

QCoro::Task<> AppState::setMonitoringPaused(bool paused) {
    const auto self = shared_from_this();
    const auto sent = co_await client_->setMonitoringPaused(paused);
    const std::optional<AppError> failure = sent ? std::nullopt : std::optional<AppError>(sent.error());
    co_await finishAction(failure);
}

QCoro::Task<> AppState::reregister() {
    const auto self = shared_from_this();
    const auto answer = co_await client_->reregister();
    if (answer && !answer.value()) {
        // Refused: phones are still paired, or a registration is already under way (then none is listed
        // and the status shows it).
        co_await refresh();
        assign(actionError_,
               phones_.empty() ? std::nullopt : std::optional(message(ActionFailure::reregisterRefused)));
        co_return;
    }
    const std::optional<AppError> failure = answer ? std::nullopt : std::optional<AppError>(answer.error());
    co_await finishAction(failure);
}

QCoro::Task<> AppState::revoke(std::string phoneId) {
    const auto self = shared_from_this();
    // Made apart from the co_await: GCC 12 destroys a coroutine argument built inside one twice.
    auto asked = client_->revoke(std::move(phoneId));
    const auto answer = co_await asked;
    std::optional<AppError> failure;
    if (!answer) {
        failure = answer.error();
    } else if (!answer.value()) {
        failure = ActionFailure::revokeRefused;
    }
    co_await finishAction(failure);
}

QCoro::Task<> AppState::restartAgent() {
    const auto self = shared_from_this();
    const auto restarted = co_await serviceManager_->restartAgent();
    const std::optional<AppError> failure =
        restarted ? std::nullopt : std::optional(appErrorOf(restarted.error()));
    co_await finishAction(failure);
    if (actionError_) {
        assign(lastError_, actionError_);
    }
}

QCoro::Task<> AppState::setLaunchAtLogin(bool enabled) {
    const auto self = shared_from_this();
    AppServiceBackend& mainApp = serviceManager_->mainApp();
    std::optional<AppError> failure;
    if (enabled) {
        const auto registered = co_await mainApp.registerService();
        if (!registered) {
            failure = registered.error();
        }
    } else if (mainApp.status() != ServiceStatus::notRegistered) {
        const auto unregistered = co_await mainApp.unregisterService();
        if (!unregistered) {
            failure = unregistered.error();
        }
    }
    assign(actionError_, failure ? std::optional(message(*failure)) : std::nullopt);
    assign(launchAtLogin_, mainApp.status() == ServiceStatus::enabled);
}

QCoro::Task<> AppState::checkAfterUpdate() {
    if (isRunningUnderTests()) {
        co_return;
    }
    auto check = checkAfterUpdate(currentAppVersion());
    co_await check;
}

QCoro::Task<> AppState::checkAfterUpdate(std::string version) {
    const auto self = shared_from_this();
    auto restart = restartAgentIfAppUpdated(std::move(version), defaults_, serviceManager_);
    const auto outcome = co_await restart;
    if (outcome.attempted) {
        co_await refresh();
    }
    if (outcome.failure) {
        assign(actionError_, outcome.failure);
        assign(lastError_, outcome.failure);
    }
}

} // namespace kestrava::app
