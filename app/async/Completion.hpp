#pragma once

#include "app/async/Scheduler.hpp"

#include <coroutine>
#include <utility>
#include <vector>

namespace kestrava::app {

// The end of a run that any number of coroutines wait for: `co_await completion.wait()` resumes each
// of them, through the scheduler, once `complete()` is called (at once if it was). Used on the scheduler's
// thread only.
class Completion {
public:
    explicit Completion(Scheduler& scheduler) : scheduler_(scheduler) {}
    Completion(const Completion&) = delete;
    Completion& operator=(const Completion&) = delete;

    void complete() {
        done_ = true;
        for (const auto waiting : std::exchange(waiting_, {})) {
            scheduler_.post([waiting] { waiting.resume(); });
        }
    }

    auto wait() noexcept {
        struct Awaiter {
            Completion& completion;
            bool await_ready() const noexcept { return completion.done_; }
            void await_suspend(std::coroutine_handle<> waiting) { completion.waiting_.push_back(waiting); }
            void await_resume() const noexcept {}
        };
        return Awaiter{*this};
    }

private:
    Scheduler& scheduler_;
    bool done_ = false;
    std::vector<std::coroutine_handle<>> waiting_;
};

} // namespace kestrava::app
