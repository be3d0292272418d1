#include "app/onboarding/OnboardingFlow.hpp"

#include "app/async/Sleep.hpp"
#include "app/runtime/UiText.hpp"
#include "app/state/AppError.hpp"
#include "app/state/PowerSettings.hpp"
#include "app/system/ApplicationMove.hpp"

#include <algorithm>

namespace kestrava::app {
namespace {

constexpr Scheduler::Clock::duration probeLimit = std::chrono::seconds(2);

bool isApprovalBlock(const ServiceFailure& failure) {
    const auto* error = std::get_if<ServiceManagerError>(&failure);
    return error && error->kind == ServiceManagerError::Kind::requiresApproval;
}

} // namespace

std::shared_ptr<OnboardingFlow> OnboardingFlow::make(OnboardingEnvironment environment, Scheduler& scheduler,
                                                     std::function<void()> onFinish) {
    return std::shared_ptr<OnboardingFlow>(
        new OnboardingFlow(std::move(environment), scheduler, std::move(onFinish)));
}

OnboardingFlow::OnboardingFlow(OnboardingEnvironment environment, Scheduler& scheduler,
                               std::function<void()> onFinish)
    : environment_(std::move(environment)), scheduler_(scheduler), onFinish_(std::move(onFinish)) {}

QString OnboardingFlow::agentStartFailureText() {
    return uiText("Agent không khởi động được — mở Login Items, tắt rồi bật Kestrava; nếu vẫn lỗi, xoá bản "
                  "Kestrava cũ rồi mở lại");
}

void OnboardingFlow::finish() const {
    if (onFinish_) {
        onFinish_();
    }
}

StepState OnboardingFlow::*OnboardingFlow::stateField(OnboardingStep step) {
    switch (step) {
    case OnboardingStep::agent:
        return &OnboardingFlow::agentState_;
    case OnboardingStep::power:
        return &OnboardingFlow::powerState_;
    case OnboardingStep::fda:
        return &OnboardingFlow::fdaState_;
    case OnboardingStep::pair:
        return &OnboardingFlow::pairState_;
    case OnboardingStep::summary:
        break;
    }
    return nullptr;
}

StepState OnboardingFlow::state(OnboardingStep step) const {
    const auto field = stateField(step);
    return field ? this->*field : StepState::pending();
}

bool OnboardingFlow::isRelocated() const {
    return isRelocatedPath(environment_.bundlePath);
}

bool OnboardingFlow::canContinue() const {
    switch (step_) {
    case OnboardingStep::agent:
        return agentState_.is(StepState::Kind::done) && !isRelocated();
    case OnboardingStep::power:
        return !powerState_.is(StepState::Kind::working);
    case OnboardingStep::fda:
    case OnboardingStep::pair:
    case OnboardingStep::summary:
        break;
    }
    return true;
}

std::vector<OnboardingWarning> OnboardingFlow::warnings() const {
    std::vector<OnboardingWarning> found;
    if (facts_ && (!facts_->autoLoginUser || facts_->diskEncryptionOn == true)) {
        found.emplace_back(RebootNeedsLogin{facts_->diskEncryptionOn == true});
    }
    if (facts_ && facts_->isLaptop) {
        found.emplace_back(LaptopLid{});
    }
    if (pmsetSleep_ >= 1) {
        found.emplace_back(SleepEnabled{pmsetSleep_});
    }
    return found;
}

QCoro::Task<> OnboardingFlow::next() {
    const auto self = shared_from_this();
    if (step_ == OnboardingStep::summary) {
        co_return;
    }
    if (step_ == OnboardingStep::pair && !pairState_.is(StepState::Kind::done)) {
        auto asking = environment_.agent->phones();
        const auto phones = co_await asking;
        assign(pairState_, phones && !phones.value().empty() ? StepState::done() : StepState::skipped());
    }
    auto advancing = advance();
    co_await advancing;
}

void OnboardingFlow::back() {
    if (step_ != OnboardingStep::agent) {
        assign(step_, static_cast<OnboardingStep>(static_cast<int>(step_) - 1));
    }
}

QCoro::Task<> OnboardingFlow::skip() {
    const auto self = shared_from_this();
    if (step_ == OnboardingStep::summary) {
        co_return;
    }
    StepState& current = this->*stateField(step_);
    if (!current.is(StepState::Kind::done) && !current.is(StepState::Kind::skipped)) {
        assign(current, StepState::skipped());
    }
    auto advancing = advance();
    co_await advancing;
}

QCoro::Task<> OnboardingFlow::advance() {
    const auto self = shared_from_this();
    if (step_ != OnboardingStep::summary) {
        assign(step_, static_cast<OnboardingStep>(static_cast<int>(step_) + 1));
    }
    if (step_ == OnboardingStep::summary) {
        auto reading = environment_.currentSleep();
        assign(pmsetSleep_, co_await reading);
    }
}

QCoro::Task<> OnboardingFlow::refreshFacts() {
    const auto self = shared_from_this();
    auto probing = environment_.facts();
    std::optional<SystemFacts> facts = co_await probing;
    assign(facts_, std::move(facts));
    auto reading = environment_.currentSleep();
    assign(pmsetSleep_, co_await reading);
}

QCoro::Task<> OnboardingFlow::startAgent() {
    const auto self = shared_from_this();
    if (isRelocated()) {
        co_return;
    }
    assign(agentState_, StepState::working());

    auto registering = environment_.service->registerAgent();
    const auto registered = co_await registering;
    if (!registered && !isApprovalBlock(registered.error())) {
        const ServiceStatus status = environment_.service->agentStatus();
        if (status != ServiceStatus::enabled && status != ServiceStatus::requiresApproval) {
            assign(agentState_, StepState::failed(message(appErrorOf(registered.error()))));
            co_return;
        }
    }
    if (environment_.service->agentStatus() == ServiceStatus::requiresApproval) {
        assign(agentState_, StepState::needsApproval());
        co_return;
    }

    auto waiting = waitForAgent();
    if (co_await waiting) {
        co_return;
    }
    // The poll may have found the agent answering meanwhile: a restart would stop it for nothing.
    if (agentState_.is(StepState::Kind::needsApproval) || agentState_.is(StepState::Kind::done)) {
        co_return;
    }

    auto restarting = environment_.service->restartAgent();
    const auto restarted = co_await restarting;
    if (!restarted) {
        if (isApprovalBlock(restarted.error())) {
            assign(agentState_, StepState::needsApproval());
        } else {
            // A failed restart may have stopped an agent the poll saw answering: "done" would be false.
            failAgentStart(true);
        }
        co_return;
    }

    auto waitingAgain = waitForAgent();
    if (!co_await waitingAgain) {
        failAgentStart(false);
    }
}

QCoro::Task<bool> OnboardingFlow::waitForAgent() {
    const auto self = shared_from_this();
    const auto deadline = scheduler_.now() + environment_.agentStartTimeout;
    for (;;) {
        if (agentState_.is(StepState::Kind::done)) {
            co_return true;
        }
        auto remaining = deadline - scheduler_.now();
        if (remaining <= Scheduler::Clock::duration::zero()) {
            co_return false;
        }
        const auto agent = environment_.agent;
        auto probing = probe(
            scheduler_, [agent] { return agent->status(); }, std::min(probeLimit, remaining));
        if (co_await probing) {
            assign(agentState_, StepState::done());
            co_return true;
        }
        if (environment_.service->agentStatus() == ServiceStatus::requiresApproval) {
            assign(agentState_, StepState::needsApproval());
            co_return false;
        }
        remaining = deadline - scheduler_.now();
        if (remaining <= Scheduler::Clock::duration::zero()) {
            co_return false;
        }
        co_await sleepFor(scheduler_, std::min(environment_.pollInterval, remaining));
    }
}

void OnboardingFlow::failAgentStart(bool evenIfDone) {
    if (agentState_.is(StepState::Kind::needsApproval) ||
        (agentState_.is(StepState::Kind::done) && !evenIfDone)) {
        return;
    }
    if (environment_.service->agentStatus() == ServiceStatus::requiresApproval) {
        assign(agentState_, StepState::needsApproval());
    } else {
        assign(agentState_, StepState::failed(agentStartFailureText()));
    }
}

QCoro::Task<bool> OnboardingFlow::checkAgentOnce() {
    const auto self = shared_from_this();
    auto asking = environment_.agent->status();
    const auto status = co_await asking;
    if (status) {
        assign(agentState_, StepState::done());
        co_return true;
    }
    if (environment_.service->agentStatus() == ServiceStatus::requiresApproval) {
        assign(agentState_, StepState::needsApproval());
    }
    co_return false;
}

QCoro::Task<> OnboardingFlow::applyPower() {
    const auto self = shared_from_this();
    assign(powerState_, StepState::working());
    if (!facts_) {
        auto refreshing = refreshFacts();
        co_await refreshing;
    }
    const bool onlyAC = facts_ && facts_->isLaptop;
    auto applying = applyPowerSettings(onlyAC, environment_.defaults, environment_.admin);
    const PowerSetupResult result = co_await applying;
    switch (result.kind) {
    case PowerSetupResult::Kind::applied:
        assign(powerState_, StepState::done());
        break;
    case PowerSetupResult::Kind::cancelled:
        assign(powerState_, StepState::skipped());
        break;
    case PowerSetupResult::Kind::failed:
        assign(powerState_, StepState::failed(QString::fromStdString(result.failure)));
        break;
    }
    auto reading = environment_.currentSleep();
    assign(pmsetSleep_, co_await reading);
}

QCoro::Task<> OnboardingFlow::checkFullDiskAccess() {
    const auto self = shared_from_this();
    auto asking = environment_.agent->hasFullDiskAccess();
    const auto access = co_await asking;
    if (access && access.value()) {
        assign(fdaState_, StepState::done());
    } else if (fdaState_.is(StepState::Kind::done)) {
        assign(fdaState_, StepState::pending());
    }
}

QCoro::Task<> OnboardingFlow::moveToApplications() {
    const auto self = shared_from_this();
    auto moving = environment_.moveToApplications();
    std::optional<QString> failure = co_await moving;
    assign(moveError_, std::move(failure));
}

QCoro::Task<> OnboardingFlow::pollOnce() {
    const auto self = shared_from_this();
    if (step_ == OnboardingStep::fda && !fdaState_.is(StepState::Kind::done)) {
        auto checking = checkFullDiskAccess();
        co_await checking;
    } else if (step_ == OnboardingStep::agent && !agentState_.is(StepState::Kind::done) && !isRelocated()) {
        auto checking = checkAgentOnce();
        co_await checking;
    }
}

QCoro::Task<> OnboardingFlow::poll(std::shared_ptr<CancelToken> stop) {
    const auto self = shared_from_this();
    while (!stop->cancelled()) {
        auto polling = pollOnce();
        co_await polling;
        auto pausing = CancelToken::sleep(scheduler_, environment_.pollInterval, stop);
        co_await pausing;
    }
}

} // namespace kestrava::app
