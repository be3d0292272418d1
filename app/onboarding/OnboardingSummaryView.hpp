#pragma once

#include "app/onboarding/OnboardingWarning.hpp"
#include "app/onboarding/StepPage.hpp"

#include <QString>

namespace kestrava::app {

// How each step of the guide is named on the summary.
QString stepTitle(OnboardingStep step);
// How a step's state reads on the summary.
QString stateLabel(const StepState& state);
// The title and the explanation of a warning.
QString warningTitle(const OnboardingWarning& warning);
QString warningDetail(const OnboardingWarning& warning);

// The guide's last page: whether everything is ready, how each step ended, and a box for each thing that
// can still keep the machine from being watched.
class OnboardingSummaryView final : public StepPage {
    Q_OBJECT

public:
    explicit OnboardingSummaryView(std::shared_ptr<OnboardingFlow> flow, QWidget* parent = nullptr);

protected:
    QWidget* build() override;
};

} // namespace kestrava::app
