#pragma once

#include "platform/thread/WatchThread.hpp"

#include <functional>
#include <memory>

namespace kestrava::net {

// Whether the machine can reach a network now: some interface other than loopback is up and running
// and carries a default route (IPv4 0.0.0.0/0 or IPv6 ::/0). Asks the kernel afresh; false when it
// cannot be asked.
bool isNetworkPathSatisfied();

// Watches the kernel's link, address and route changes on a thread of its own ("kestrava.path"), and
// after each batch of them reports whether the path is satisfied, the first time right after start.
// Reports may repeat the previous state.
class NetworkPathMonitor {
public:
    // `onUpdate` runs on the monitor's thread; it must not throw.
    explicit NetworkPathMonitor(std::function<void(bool satisfied)> onUpdate);
    NetworkPathMonitor(const NetworkPathMonitor&) = delete;
    NetworkPathMonitor& operator=(const NetworkPathMonitor&) = delete;

    // Once; without a netlink socket it reports nothing.
    void start();

private:
    void watch(const thread::StopSignal& stop);

    const std::function<void(bool)> onUpdate_;
    thread::WatchThread thread_; // last: stopped and joined before the rest goes
};

} // namespace kestrava::net
