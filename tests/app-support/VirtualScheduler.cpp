#include "tests/app-support/VirtualScheduler.hpp"

namespace kestrava::test {

VirtualScheduler::Clock::time_point VirtualScheduler::now() const {
    const std::lock_guard held(lock_);
    return now_;
}

app::Timer VirtualScheduler::after(Clock::duration delay, std::function<void()> work) {
    auto armed = std::make_shared<bool>(true);
    const std::lock_guard held(lock_);
    timers_.emplace(std::pair(now_ + std::max(delay, Clock::duration::zero()), made_++),
                    Due{armed, std::move(work)});
    return app::Timer(std::move(armed));
}

void VirtualScheduler::post(std::function<void()> work) {
    const std::lock_guard held(lock_);
    posted_.push_back(std::move(work));
}

void VirtualScheduler::runPosted() {
    for (;;) {
        std::function<void()> work;
        {
            const std::lock_guard held(lock_);
            if (posted_.empty()) {
                return;
            }
            work = std::move(posted_.front());
            posted_.pop_front();
        }
        work();
    }
}

void VirtualScheduler::advance(Clock::duration span) {
    const Clock::time_point target = now() + span;
    for (;;) {
        runPosted();
        Due due;
        {
            const std::lock_guard held(lock_);
            const auto next = timers_.begin();
            if (next == timers_.end() || next->first.first > target) {
                now_ = target;
                break;
            }
            now_ = next->first.first;
            due = std::move(next->second);
            timers_.erase(next);
        }
        if (*due.armed) {
            *due.armed = false;
            due.work();
        }
    }
    runPosted();
}

} // namespace kestrava::test
