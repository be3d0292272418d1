#include "agent-core/host/PowerSourceMonitor.hpp"

#include "agent-core/host/PowerGuard.hpp"
#include "agent-core/runtime/Log.hpp"

#include <exception>

namespace kestrava {

PowerSourceMonitor::PowerSourceMonitor(std::function<void()> onChange) : onChange_(std::move(onChange)) {}

void PowerSourceMonitor::start(boost::asio::io_context& context) {
    if (supplies_) {
        return;
    }
    supplies_.emplace(
        context,
        [this]() noexcept {
            try {
                onChange_();
            } catch (const std::exception& error) {
                logError(error.what());
            }
        },
        SystemPowerSource::root());
}

} // namespace kestrava
