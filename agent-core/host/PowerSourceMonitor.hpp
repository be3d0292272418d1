#pragma once

#include "platform/power/PowerSupplyMonitor.hpp"

#include <boost/asio/io_context.hpp>

#include <functional>
#include <optional>

namespace kestrava {

// Calls `onChange` on the event loop it was started on whenever the machine's power supplies change
// (those SystemPowerSource reads).
class PowerSourceMonitor {
public:
    explicit PowerSourceMonitor(std::function<void()> onChange);

    // Starts watching on `context`; a second start does nothing.
    void start(boost::asio::io_context& context);

private:
    const std::function<void()> onChange_;
    std::optional<power::PowerSupplyMonitor> supplies_;
};

} // namespace kestrava
