#pragma once

#include "app/async/OneShot.hpp"
#include "app/async/Scheduler.hpp"

#include <QCoro/QCoroTask>
#include <functional>
#include <memory>
#include <utility>

namespace kestrava::app {

// A request to stop, shared by whoever may ask for it and the loop that checks it. The one sleep waiting
// on it ends early when it is asked for. Used on the scheduler's thread only.
class CancelToken {
public:
    bool cancelled() const noexcept { return cancelled_; }

    void cancel() {
        cancelled_ = true;
        if (auto wake = std::exchange(wake_, nullptr)) {
            wake();
        }
    }

    // Sleeps `delay`, or less when the token is cancelled meanwhile.
    static QCoro::Task<> sleep(Scheduler& scheduler, Scheduler::Clock::duration delay,
                               std::shared_ptr<CancelToken> token) {
        if (token->cancelled()) {
            co_return;
        }
        const auto shot = std::make_shared<OneShot<bool>>(scheduler);
        shot->setTimer(scheduler.after(delay, [shot] { shot->resolve(true); }));
        token->wake_ = [weak = std::weak_ptr(shot)] {
            if (const auto woken = weak.lock()) {
                woken->resolve(false);
            }
        };
        co_await *shot;
        token->wake_ = nullptr;
    }

private:
    bool cancelled_ = false;
    std::function<void()> wake_;
};

} // namespace kestrava::app
