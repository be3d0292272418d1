#pragma once

#include "platform/thread/WatchThread.hpp"

#include <functional>

namespace kestrava::power {

// Tells when the machine woke from sleep: the login manager's PrepareForSleep(false) on the system bus,
// received on a thread of its own. Only sleeps that go through the login manager are seen; without a
// system bus nothing is.
class WakeWatch {
public:
    // `onWake` runs on the watch's thread; it must not throw.
    explicit WakeWatch(std::function<void()> onWake);
    WakeWatch(const WakeWatch&) = delete;
    WakeWatch& operator=(const WakeWatch&) = delete;

    // Once.
    void start();

private:
    void watch(const thread::StopSignal& stop);

    const std::function<void()> onWake_;
    thread::WatchThread thread_; // last: stopped and joined before the rest goes
};

} // namespace kestrava::power
