#include "app/menu/OnboardingAutoOpener.hpp"

namespace kestrava::app {
namespace {

bool didAutoOpen = false;

} // namespace

void OnboardingAutoOpener::consider(const AppState& state, std::function<void()> open) {
    if (std::exchange(didAutoOpen, true) || state.onboardingDone()) {
        return;
    }
    // The flag is read before the wait: a guide finished meanwhile still opens.
    wait_ = scheduler_.after(std::chrono::milliseconds(600), std::move(open));
}

} // namespace kestrava::app
