#pragma once

#include "app/onboarding/StepPage.hpp"

namespace kestrava::app {

// The guide's first page: turns on the agent's service and shows how far that got (starting, blocked,
// running, failed); a copy running from removable media is offered only the move to its installed place.
class StepAgentView final : public StepPage {
    Q_OBJECT

public:
    explicit StepAgentView(std::shared_ptr<OnboardingFlow> flow, QWidget* parent = nullptr);

protected:
    QWidget* build() override;
};

} // namespace kestrava::app
