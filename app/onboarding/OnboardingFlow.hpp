#pragma once

#include "app/async/CancelToken.hpp"
#include "app/async/Scheduler.hpp"
#include "app/onboarding/OnboardingEnvironment.hpp"
#include "app/onboarding/OnboardingStep.hpp"
#include "app/onboarding/OnboardingWarning.hpp"
#include "app/onboarding/StepState.hpp"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kestrava::app {

// The first-run guide's model: the step shown, where each step stands, what is known of the machine, and
// every operation behind the guide's buttons, among them the careful start of the agent (a bounded wait,
// one restart, a readable failure). It reaches the world only through its environment. Lives on the
// interface thread as long as the guide's window; its operations keep it alive until they end and may
// interleave at their waits. `changed` follows every field that took a different value.
class OnboardingFlow final : public QObject, public std::enable_shared_from_this<OnboardingFlow> {
    Q_OBJECT

public:
    static std::shared_ptr<OnboardingFlow> make(OnboardingEnvironment environment, Scheduler& scheduler,
                                                std::function<void()> onFinish);

    OnboardingStep step() const noexcept { return step_; }
    const StepState& agentState() const noexcept { return agentState_; }
    const StepState& powerState() const noexcept { return powerState_; }
    const StepState& fdaState() const noexcept { return fdaState_; }
    const StepState& pairState() const noexcept { return pairState_; }
    // Minutes before the machine sleeps, as last read: 0 never, -1 unknown.
    std::int64_t pmsetSleep() const noexcept { return pmsetSleep_; }
    const std::optional<SystemFacts>& facts() const noexcept { return facts_; }
    // What the last move of the application said went wrong.
    const std::optional<QString>& moveError() const noexcept { return moveError_; }
    // Set by the pairing page when a phone was approved.
    void setPairState(StepState state) { assign(pairState_, std::move(state)); }

    const OnboardingEnvironment& environment() const noexcept { return environment_; }
    // What the finish button runs.
    void finish() const;

    // The summary's state is always pending.
    StepState state(OnboardingStep step) const;
    // Running from removable media or a temporary mount: the agent cannot be registered from there.
    bool isRelocated() const;
    // Whether the footer's next button is enabled.
    bool canContinue() const;
    // What the summary warns about, each kind at most once.
    std::vector<OnboardingWarning> warnings() const;

    QCoro::Task<> next();
    void back();
    QCoro::Task<> skip();
    QCoro::Task<> refreshFacts();
    // Registers the agent's service and waits until the agent answers, restarting it once if it does not.
    QCoro::Task<> startAgent();
    // One question to the agent outside a start: true when it answered.
    QCoro::Task<bool> checkAgentOnce();
    QCoro::Task<> applyPower();
    QCoro::Task<> checkFullDiskAccess();
    // Moves the application to its installed place and starts the copy there; what fails is `moveError`.
    QCoro::Task<> moveToApplications();
    // Polls what the current step waits for, every poll interval, until `stop` is cancelled.
    QCoro::Task<> poll(std::shared_ptr<CancelToken> stop);

    // The text of an agent that would not start.
    static QString agentStartFailureText();

signals:
    void changed();

private:
    OnboardingFlow(OnboardingEnvironment environment, Scheduler& scheduler, std::function<void()> onFinish);

    template<class T>
    void assign(T& field, T value) {
        if (field != value) {
            field = std::move(value);
            emit changed();
        }
    }
    // The field that holds a step's state; none for the summary.
    static StepState OnboardingFlow::*stateField(OnboardingStep step);
    // Goes on to the next step; on the summary, reads the sleep setting again.
    QCoro::Task<> advance();
    QCoro::Task<bool> waitForAgent();
    // The start failed: the service's block, if that is the cause, or the failure text. A step already
    // done keeps that unless `evenIfDone`.
    void failAgentStart(bool evenIfDone);
    QCoro::Task<> pollOnce();

    const OnboardingEnvironment environment_;
    Scheduler& scheduler_;
    const std::function<void()> onFinish_;

    OnboardingStep step_ = OnboardingStep::agent;
    StepState agentState_;
    StepState powerState_;
    StepState fdaState_;
    StepState pairState_;
    std::int64_t pmsetSleep_ = -1;
    std::optional<SystemFacts> facts_;
    std::optional<QString> moveError_;
};

} // namespace kestrava::app
