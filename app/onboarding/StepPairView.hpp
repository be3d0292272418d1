#pragma once

#include "app/onboarding/OnboardingFlow.hpp"
#include "app/pairing/PairingService.hpp"
#include "app/state/AppState.hpp"

#include <QWidget>
#include <memory>

namespace kestrava::app {

class PairingView;
class StatusLine;

// The guide's fourth page: the pairing interface in place, which marks the step done when a phone is
// approved. Its pairing attempt is the application's one attempt, as in the pairing window. Interface
// thread.
class StepPairView final : public QWidget {
    Q_OBJECT

public:
    // `service` is the agent client's unless another is given.
    StepPairView(std::shared_ptr<OnboardingFlow> flow, std::shared_ptr<AppState> state,
                 std::shared_ptr<PairingService> service = nullptr, QWidget* parent = nullptr);

    PairingView* pairing() const noexcept { return pairing_; }

private:
    void render();

    const std::shared_ptr<OnboardingFlow> flow_;
    PairingView* pairing_;
    StatusLine* paired_;
};

} // namespace kestrava::app
