#pragma once

#include "app/async/Scheduler.hpp"
#include "app/state/AppState.hpp"

#include <functional>

namespace kestrava::app {

// Opens the first-run guide by itself, 0.6 s after the tray first shows, as long as the user has not
// finished it. Considered once per process, whatever the outcome.
class OnboardingAutoOpener {
public:
    explicit OnboardingAutoOpener(Scheduler& scheduler) : scheduler_(scheduler) {}

    void consider(const AppState& state, std::function<void()> open);

private:
    Scheduler& scheduler_;
    Timer wait_;
};

} // namespace kestrava::app
