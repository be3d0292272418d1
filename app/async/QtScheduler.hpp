#pragma once

#include "app/async/Scheduler.hpp"

#include <QObject>

namespace kestrava::app {

// The scheduler of the thread that makes it: its Qt event loop and the steady clock.
class QtScheduler final : public Scheduler {
public:
    QtScheduler() = default;
    ~QtScheduler() override { closePosters(); }
    QtScheduler(const QtScheduler&) = delete;
    QtScheduler& operator=(const QtScheduler&) = delete;

    Clock::time_point now() const override { return Clock::now(); }
    Timer after(Clock::duration delay, std::function<void()> work) override;
    void post(std::function<void()> work) override;

private:
    QObject context_; // work posted to a scheduler that is gone is dropped with it
};

} // namespace kestrava::app
