#include "agent-core/runtime/Once.hpp"

#include <utility>

namespace kestrava {

void Once::run() {
    std::function<void()> f;
    {
        const std::lock_guard guard(lock_);
        f = std::exchange(f_, nullptr);
    }
    if (f) {
        f();
    }
}

} // namespace kestrava
