#pragma once

#include "app/async/Scheduler.hpp"

#include <cassert>
#include <coroutine>
#include <optional>
#include <utility>

namespace kestrava::app {

// One result handed over once, from whichever of several sources comes first (a reply, an error, a
// time-out); later ones are dropped. The waiting coroutine resumes through the scheduler, never inside
// the source's own callback, so what it does next cannot pull the source away under itself. Used on the
// scheduler's thread only.
template<class T>
class OneShot {
public:
    explicit OneShot(Scheduler& scheduler) : scheduler_(scheduler) {}
    OneShot(const OneShot&) = delete;
    OneShot& operator=(const OneShot&) = delete;

    // The timer that ends with the result: cancelled once there is one.
    void setTimer(Timer timer) {
        if (!result_) {
            timer_ = std::move(timer);
        }
    }

    // False when a result was there already.
    bool resolve(T value) {
        if (result_) {
            return false;
        }
        result_.emplace(std::move(value));
        timer_.cancel();
        if (const auto waiting = std::exchange(waiting_, nullptr)) {
            scheduler_.post([waiting] { waiting.resume(); });
        }
        return true;
    }

    bool resolved() const noexcept { return result_.has_value(); }

    // One waiter, once.
    auto operator co_await() noexcept {
        struct Awaiter {
            OneShot& shot;
            bool await_ready() const noexcept { return shot.result_.has_value(); }
            void await_suspend(std::coroutine_handle<> waiting) noexcept {
                assert(!shot.waiting_);
                shot.waiting_ = waiting;
            }
            T await_resume() { return std::move(*shot.result_); }
        };
        return Awaiter{*this};
    }

private:
    Scheduler& scheduler_;
    std::optional<T> result_;
    std::coroutine_handle<> waiting_;
    Timer timer_;
};

} // namespace kestrava::app
