#pragma once

#include <optional>

namespace kestrava::app {

// The pages of the first-run guide, in the order the user walks them.
enum class OnboardingStep { agent = 0, power = 1, fda = 2, pair = 3, summary = 4 };

// The step of that number; none outside 0 to 4.
inline std::optional<OnboardingStep> onboardingStep(int raw) {
    if (raw < static_cast<int>(OnboardingStep::agent) || raw > static_cast<int>(OnboardingStep::summary)) {
        return std::nullopt;
    }
    return static_cast<OnboardingStep>(raw);
}

} // namespace kestrava::app
