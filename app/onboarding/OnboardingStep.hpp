#pragma once

#include <array>

namespace kestrava::app {

// The pages of the first-run guide, in the order the user walks them.
enum class OnboardingStep { agent = 0, power = 1, fda = 2, pair = 3, summary = 4 };

// The steps that do something, in their order: all but the summary.
inline constexpr std::array workingSteps{OnboardingStep::agent, OnboardingStep::power, OnboardingStep::fda,
                                         OnboardingStep::pair};

} // namespace kestrava::app
