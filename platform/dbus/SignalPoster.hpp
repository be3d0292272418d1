#pragma once

#include "platform/dbus/SdBus.hpp"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace kestrava::dbus {

// Broadcasts signals on the session bus without ever making the caller wait. One notifier thread owns
// the connection (sd-bus objects are not thread-safe), opens it on first use, reopens it after a
// failure and sends in the order of posting. Without a session bus every signal is dropped silently.
class SignalPoster {
public:
    SignalPoster();
    // Sends what is still queued, then stops the notifier thread.
    ~SignalPoster();
    SignalPoster(const SignalPoster&) = delete;
    SignalPoster& operator=(const SignalPoster&) = delete;

    void post(std::string interface, std::string member, std::string path);

private:
    struct Signal {
        std::string interface;
        std::string member;
        std::string path;
    };

    void run();
    void deliver(const Signal& signal);
    bool sent(const Signal& signal);
    void dropConnection();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Signal> queue_;
    bool stopping_ = false;
    Bus bus_; // the notifier thread's alone
    std::thread notifier_;
};

} // namespace kestrava::dbus
