#pragma once

#include "app/async/Scheduler.hpp"

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

namespace kestrava::test {

// A scheduler whose clock moves only when the test moves it, so waits of seconds take none and happen in
// a fixed order. Work posted from another thread waits for the test's next move.
class VirtualScheduler final : public app::Scheduler {
public:
    VirtualScheduler() = default;
    ~VirtualScheduler() override { closePosters(); }
    VirtualScheduler(const VirtualScheduler&) = delete;
    VirtualScheduler& operator=(const VirtualScheduler&) = delete;

    Clock::time_point now() const override;
    app::Timer after(Clock::duration delay, std::function<void()> work) override;
    void post(std::function<void()> work) override;

    // Moves the clock `span` ahead, running each timer at its time and the posted work between them.
    void advance(Clock::duration span);
    // Runs the posted work and what it posts in turn, without moving the clock.
    void runPosted();

    // The time since the scheduler was made.
    Clock::duration elapsed() const { return now() - Clock::time_point(); }

private:
    struct Due {
        std::shared_ptr<bool> armed;
        std::function<void()> work;
    };

    mutable std::mutex lock_;
    Clock::time_point now_{};
    std::uint64_t made_ = 0;
    std::map<std::pair<Clock::time_point, std::uint64_t>, Due> timers_;
    std::deque<std::function<void()>> posted_;
};

} // namespace kestrava::test
