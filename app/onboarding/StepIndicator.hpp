#pragma once

#include "app/onboarding/OnboardingFlow.hpp"

#include <QWidget>
#include <memory>

namespace kestrava::app {

// The four working steps of the guide across the top: a numbered badge and a label each, joined by lines;
// the current step in the accent colour, a finished one green with a check mark. Interface thread.
class StepIndicator final : public QWidget {
    Q_OBJECT

public:
    explicit StepIndicator(std::shared_ptr<OnboardingFlow> flow, QWidget* parent = nullptr);

    // A step's name in the indicator.
    static QString label(OnboardingStep step);

private:
    void render();

    const std::shared_ptr<OnboardingFlow> flow_;
};

} // namespace kestrava::app
