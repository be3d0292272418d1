#pragma once

#include "app/onboarding/StepPage.hpp"

namespace kestrava::app {

// The guide's second page: the exact command that keeps the machine from sleeping, the current sleep
// setting, and the apply with its outcome.
class StepPowerView final : public StepPage {
    Q_OBJECT

public:
    explicit StepPowerView(std::shared_ptr<OnboardingFlow> flow, QWidget* parent = nullptr);

protected:
    QWidget* build() override;
};

} // namespace kestrava::app
