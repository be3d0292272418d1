#pragma once

#include "app/async/Scheduler.hpp"

#include <coroutine>

namespace kestrava::app {

// `co_await sleepFor(scheduler, delay)`: resumes on the scheduler once `delay` has passed.
class sleepFor {
public:
    sleepFor(Scheduler& scheduler, Scheduler::Clock::duration delay) : scheduler_(scheduler), delay_(delay) {}

    bool await_ready() const noexcept { return delay_ <= Scheduler::Clock::duration::zero(); }
    void await_suspend(std::coroutine_handle<> waiting) {
        timer_ = scheduler_.after(delay_, [waiting] { waiting.resume(); });
    }
    void await_resume() const noexcept {}

private:
    Scheduler& scheduler_;
    Scheduler::Clock::duration delay_;
    Timer timer_; // a coroutine destroyed while it sleeps is not resumed
};

} // namespace kestrava::app
