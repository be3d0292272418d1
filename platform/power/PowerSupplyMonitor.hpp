#pragma once

#include <boost/asio/io_context.hpp>

#include <functional>
#include <memory>

namespace kestrava::power {

// Watches the kernel's device events for power supplies (a charger plugged in or out, a battery's
// charge changing) and calls `onEvent` on `context` once per event. When the events cannot be watched
// (no device manager, no netlink), the monitor does nothing.
class PowerSupplyMonitor {
public:
    // `onEvent` must not throw: it runs inside the context's event loop.
    PowerSupplyMonitor(boost::asio::io_context& context, std::function<void()> onEvent);
    ~PowerSupplyMonitor();
    PowerSupplyMonitor(const PowerSupplyMonitor&) = delete;
    PowerSupplyMonitor& operator=(const PowerSupplyMonitor&) = delete;

private:
    struct Watch;

    // Shared with the pending wait, which holds it weakly: a wait that completes after the monitor is
    // gone does nothing.
    std::shared_ptr<Watch> watch_;
};

} // namespace kestrava::power
