#pragma once

#include "app/onboarding/OnboardingEnvironment.hpp"
#include "app/state/AppState.hpp"

#include <memory>

namespace kestrava::app {

// The guide's environment on this machine: the application's agent link and service, the administrator
// prompt, the machine's facts and sleep setting read off the interface thread, the application's
// settings, 2 s polls, 15 s waits for the agent, and the move to the installed place.
OnboardingEnvironment liveOnboardingEnvironment(std::shared_ptr<AppState> state);

} // namespace kestrava::app
