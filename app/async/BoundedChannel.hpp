#pragma once

#include "app/async/Scheduler.hpp"

#include <cassert>
#include <coroutine>
#include <cstddef>
#include <deque>
#include <optional>
#include <utility>

namespace kestrava::app {

// A stream of values from producers to one consumer that keeps at most `capacity` of them: when the
// consumer lags, the oldest are dropped. `co_await next()` gives the next value, or none once the stream
// is finished and what it held has been read. The consumer resumes through the scheduler. Used on the
// scheduler's thread only.
template<class T>
class BoundedChannel {
public:
    BoundedChannel(Scheduler& scheduler, std::size_t capacity) : scheduler_(scheduler), capacity_(capacity) {}
    BoundedChannel(const BoundedChannel&) = delete;
    BoundedChannel& operator=(const BoundedChannel&) = delete;

    // Ignored once finished.
    void yield(T value) {
        if (finished_) {
            return;
        }
        buffer_.push_back(std::move(value));
        if (buffer_.size() > capacity_) {
            buffer_.pop_front();
        }
        wake();
    }

    void finish() {
        finished_ = true;
        wake();
    }

    auto next() noexcept {
        struct Awaiter {
            BoundedChannel& channel;
            bool await_ready() const noexcept { return !channel.buffer_.empty() || channel.finished_; }
            void await_suspend(std::coroutine_handle<> waiting) noexcept {
                assert(!channel.waiting_);
                channel.waiting_ = waiting;
            }
            std::optional<T> await_resume() {
                if (channel.buffer_.empty()) {
                    return std::nullopt;
                }
                T value = std::move(channel.buffer_.front());
                channel.buffer_.pop_front();
                return value;
            }
        };
        return Awaiter{*this};
    }

private:
    void wake() {
        if (const auto waiting = std::exchange(waiting_, nullptr)) {
            scheduler_.post([waiting] { waiting.resume(); });
        }
    }

    Scheduler& scheduler_;
    const std::size_t capacity_;
    std::deque<T> buffer_;
    bool finished_ = false;
    std::coroutine_handle<> waiting_;
};

} // namespace kestrava::app
