#pragma once

#include "platform/thread/StopSignal.hpp"

#include <functional>
#include <thread>

namespace kestrava::thread {

// A thread that watches something for its owner until the owner goes: `watch` runs once started and
// should return soon after its stop signal is raised, which the destructor does before it waits for it.
class WatchThread {
public:
    explicit WatchThread(std::function<void(const StopSignal& stop)> watch);
    ~WatchThread();
    WatchThread(const WatchThread&) = delete;
    WatchThread& operator=(const WatchThread&) = delete;

    // Once; later calls do nothing.
    void start();

private:
    const std::function<void(const StopSignal&)> watch_;
    StopSignal stop_;
    std::thread thread_;
};

} // namespace kestrava::thread
