#pragma once

#include "platform/power/PowerSupplies.hpp"

#include <boost/asio/io_context.hpp>

#include <filesystem>
#include <functional>
#include <memory>

namespace kestrava::power {

// Watches the power supplies under `root` for changes (a charger plugged in or out, a battery's charge
// changing) and calls `onEvent` on `context` once per change: the notices waiting when the loop wakes
// count as one, however many files the change touched. The kernel's tree is watched through the device
// manager's events; another folder laid out the same way (a test's) through the file system's notices on
// the supplies it holds when the monitor starts. When the changes cannot be watched (no device manager, no
// netlink, no such folder), the monitor does nothing.
class PowerSupplyMonitor {
public:
    // `onEvent` must not throw: it runs inside the context's event loop.
    PowerSupplyMonitor(boost::asio::io_context& context, std::function<void()> onEvent,
                       const std::filesystem::path& root = kernelPowerSupplies);
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
