#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

namespace kestrava::app {

// A pending piece of work of a Scheduler. Cancelling it, or letting the handle go, keeps the work from
// running; a timer whose work already ran is left as it is.
class Timer {
public:
    Timer() = default;
    explicit Timer(std::shared_ptr<bool> armed) : armed_(std::move(armed)) {}
    ~Timer() { cancel(); }
    Timer(Timer&&) noexcept = default;
    Timer& operator=(Timer&& other) noexcept {
        cancel();
        armed_ = std::move(other.armed_);
        return *this;
    }
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void cancel() {
        if (armed_) {
            *armed_ = false;
            armed_.reset();
        }
    }

private:
    std::shared_ptr<bool> armed_;
};

// Where the application's asynchronous work resumes: one thread, one piece of work at a time. The live
// scheduler is the Qt event loop of the interface thread; tests run a virtual clock instead, so waits of
// seconds take none.
class Scheduler {
public:
    using Clock = std::chrono::steady_clock;
    using Post = std::function<void(std::function<void()>)>;

    virtual ~Scheduler() = default;

    virtual Clock::time_point now() const = 0;
    // Runs `work` on the scheduler's thread once `delay` has passed, unless the timer ends first. Called
    // on the scheduler's thread.
    [[nodiscard]] virtual Timer after(Clock::duration delay, std::function<void()> work) = 0;
    // Runs `work` on the scheduler's thread after what runs there now; callable from any thread.
    virtual void post(std::function<void()> work) = 0;

    // `post` for a thread that may go on after the scheduler has gone: what it is handed then is dropped.
    Post poster() const {
        return [gate = gate_](std::function<void()> work) {
            const std::lock_guard held(gate->lock);
            if (gate->target) {
                gate->target->post(std::move(work));
            }
        };
    }

protected:
    // The first thing a scheduler's destructor does: nothing handed to a poster reaches it afterwards.
    void closePosters() {
        const std::lock_guard held(gate_->lock);
        gate_->target = nullptr;
    }

private:
    struct Gate {
        explicit Gate(Scheduler* target) : target(target) {}
        std::mutex lock;
        Scheduler* target;
    };

    const std::shared_ptr<Gate> gate_ = std::make_shared<Gate>(this);
};

} // namespace kestrava::app
