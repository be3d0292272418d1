#pragma once

#include "app/onboarding/StepPage.hpp"

namespace kestrava::app {

// The guide's third page: how to let the agent read everything it reports, and whether the flow's poll
// has found that it can.
class StepFDAView final : public StepPage {
    Q_OBJECT

public:
    explicit StepFDAView(std::shared_ptr<OnboardingFlow> flow, QWidget* parent = nullptr);

protected:
    QWidget* build() override;
};

} // namespace kestrava::app
