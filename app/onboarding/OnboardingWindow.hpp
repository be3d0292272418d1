#pragma once

#include "app/async/CancelToken.hpp"
#include "app/async/Scheduler.hpp"
#include "app/onboarding/OnboardingFlow.hpp"
#include "app/pairing/PairingService.hpp"
#include "app/state/AppState.hpp"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QPushButton;
class QScrollArea;

namespace kestrava::app {

// The guide as it is laid out: the step indicator, the current step's page, and the footer that moves
// between steps. While shown it reads the machine's facts once and polls what the current step waits for,
// one poll per step. Interface thread.
class OnboardingContent final : public QWidget {
    Q_OBJECT

public:
    OnboardingContent(std::shared_ptr<OnboardingFlow> flow, std::shared_ptr<AppState> state,
                      std::shared_ptr<PairingService> pairing, QWidget* parent = nullptr);
    ~OnboardingContent() override;

    QWidget* page() const noexcept { return page_; }

private:
    void render();
    void showStep();
    void revealStatus();
    void pressDefault();

    const std::shared_ptr<OnboardingFlow> flow_;
    const std::shared_ptr<AppState> state_;
    const std::shared_ptr<PairingService> pairing_;
    std::shared_ptr<CancelToken> poll_;
    std::optional<OnboardingStep> shownStep_;
    std::optional<StepState> shownState_;

    QScrollArea* scroll_;
    QPointer<QWidget> page_;
    QPushButton* back_;
    QPushButton* skip_;
    QPushButton* next_;
    QPushButton* finish_;
};

// The window of the first-run guide. It makes a new flow each time it is shown, starting again at the
// first step, and drops it when hidden; "Hoàn tất" records that the guide is done and closes the window.
class OnboardingWindow final : public QWidget {
    Q_OBJECT

public:
    using MakeEnvironment = std::function<OnboardingEnvironment()>;

    // The live environment and the agent client's pairing unless others are given.
    OnboardingWindow(std::shared_ptr<AppState> state, Scheduler& scheduler,
                     MakeEnvironment makeEnvironment = {}, std::shared_ptr<PairingService> pairing = nullptr,
                     QWidget* parent = nullptr);

    const std::shared_ptr<OnboardingFlow>& flow() const noexcept { return flow_; }
    OnboardingContent* content() const noexcept { return content_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    const std::shared_ptr<AppState> state_;
    Scheduler& scheduler_;
    const MakeEnvironment makeEnvironment_;
    const std::shared_ptr<PairingService> pairing_;
    std::shared_ptr<OnboardingFlow> flow_;
    QPointer<OnboardingContent> content_;
};

} // namespace kestrava::app
