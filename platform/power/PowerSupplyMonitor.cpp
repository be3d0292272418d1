#include "platform/power/PowerSupplyMonitor.hpp"

#include <boost/asio/posix/stream_descriptor.hpp>
#include <boost/system/system_error.hpp>

#include <libudev.h>

namespace kestrava::power {
namespace {

struct UdevRelease {
    void operator()(udev* manager) const noexcept { udev_unref(manager); }
    void operator()(udev_monitor* monitor) const noexcept { udev_monitor_unref(monitor); }
};

using UdevManager = std::unique_ptr<udev, UdevRelease>;
using UdevMonitor = std::unique_ptr<udev_monitor, UdevRelease>;

// A monitor of the device manager's power-supply events, receiving; none when that is not possible.
UdevMonitor powerSupplyEvents(udev* manager) {
    UdevMonitor monitor(udev_monitor_new_from_netlink(manager, "udev"));
    if (!monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "power_supply", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0 || udev_monitor_get_fd(monitor.get()) < 0) {
        return nullptr;
    }
    return monitor;
}

} // namespace

struct PowerSupplyMonitor::Watch {
    Watch(boost::asio::io_context& context, UdevManager manager, UdevMonitor monitor,
          std::function<void()> onEvent)
        : manager(std::move(manager)), monitor(std::move(monitor)),
          descriptor(context, udev_monitor_get_fd(this->monitor.get())), onEvent(std::move(onEvent)) {}

    // The descriptor belongs to the udev monitor, which closes it.
    ~Watch() { descriptor.release(); }

    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    static void waitForEvents(const std::shared_ptr<Watch>& watch) {
        watch->descriptor.async_wait(boost::asio::posix::descriptor_base::wait_read,
                                     [weak = std::weak_ptr(watch)](const boost::system::error_code& error) {
                                         const auto watch = weak.lock();
                                         if (error || !watch) {
                                             return;
                                         }
                                         watch->deliverEvents();
                                         waitForEvents(watch);
                                     });
    }

    void deliverEvents() {
        while (udev_device* device = udev_monitor_receive_device(monitor.get())) {
            udev_device_unref(device);
            onEvent();
        }
    }

    const UdevManager manager;
    const UdevMonitor monitor;
    boost::asio::posix::stream_descriptor descriptor;
    const std::function<void()> onEvent;
};

PowerSupplyMonitor::PowerSupplyMonitor(boost::asio::io_context& context, std::function<void()> onEvent) {
    UdevManager manager(udev_new());
    if (!manager) {
        return;
    }
    UdevMonitor monitor = powerSupplyEvents(manager.get());
    if (!monitor) {
        return;
    }
    try {
        watch_ = std::make_shared<Watch>(context, std::move(manager), std::move(monitor), std::move(onEvent));
    } catch (const boost::system::system_error&) {
        return; // the descriptor cannot join the event loop
    }
    Watch::waitForEvents(watch_);
}

PowerSupplyMonitor::~PowerSupplyMonitor() = default;

} // namespace kestrava::power
