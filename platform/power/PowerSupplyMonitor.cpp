#include "platform/power/PowerSupplyMonitor.hpp"

#include "platform/process/Descriptor.hpp"

#include <boost/asio/posix/stream_descriptor.hpp>
#include <boost/system/system_error.hpp>

#include <cerrno>
#include <libudev.h>
#include <sys/inotify.h>
#include <unistd.h>

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

// What changes a supply: a file of it written or replaced, and a supply added or removed.
constexpr std::uint32_t supplyChanges = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE;
constexpr std::uint32_t folderChanges = IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM;

// Where the changes come from: a descriptor that turns readable while some wait, and what reads them.
class Events {
public:
    virtual ~Events() = default;
    // Owned by the source, which closes it.
    virtual int descriptor() const = 0;
    // Reads every change waiting without blocking; whether there was any.
    virtual bool receive() = 0;
};

class DeviceManagerEvents final : public Events {
public:
    DeviceManagerEvents(UdevManager manager, UdevMonitor monitor)
        : manager_(std::move(manager)), monitor_(std::move(monitor)) {}

    int descriptor() const override { return udev_monitor_get_fd(monitor_.get()); }

    bool receive() override {
        bool any = false;
        while (udev_device* device = udev_monitor_receive_device(monitor_.get())) {
            udev_device_unref(device);
            any = true;
        }
        return any;
    }

private:
    const UdevManager manager_;
    const UdevMonitor monitor_;
};

// None when the device manager's events cannot be received.
std::unique_ptr<Events> deviceManagerEvents() {
    UdevManager manager(udev_new());
    if (!manager) {
        return nullptr;
    }
    UdevMonitor monitor = powerSupplyEvents(manager.get());
    if (!monitor) {
        return nullptr;
    }
    return std::make_unique<DeviceManagerEvents>(std::move(manager), std::move(monitor));
}

class FolderEvents final : public Events {
public:
    // Takes `fd`, an inotify descriptor that does not block.
    explicit FolderEvents(process::Descriptor fd) : fd_(std::move(fd)) {}

    int descriptor() const override { return fd_.get(); }

    // Drains the descriptor: one change of a supply is several notices (a file created, written, closed).
    bool receive() override {
        bool any = false;
        char buffer[4096];
        for (;;) {
            const ssize_t length = ::read(fd_.get(), buffer, sizeof buffer);
            if (length < 0 && errno == EINTR) {
                continue;
            }
            if (length <= 0) {
                return any;
            }
            any = true;
        }
    }

private:
    const process::Descriptor fd_;
};

// None when `root` cannot be watched.
std::unique_ptr<Events> folderEvents(const std::filesystem::path& root) {
    process::Descriptor fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!fd.isOpen() || ::inotify_add_watch(fd.get(), root.c_str(), folderChanges) < 0) {
        return nullptr;
    }
    std::error_code error;
    for (const auto& supply : std::filesystem::directory_iterator(root, error)) {
        ::inotify_add_watch(fd.get(), supply.path().c_str(), supplyChanges);
    }
    return std::make_unique<FolderEvents>(std::move(fd));
}

} // namespace

struct PowerSupplyMonitor::Watch {
    Watch(boost::asio::io_context& context, std::unique_ptr<Events> events, std::function<void()> onEvent)
        : events(std::move(events)), descriptor(context, this->events->descriptor()),
          onEvent(std::move(onEvent)) {}

    // The descriptor belongs to the source of the events, which closes it.
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
        if (events->receive()) {
            onEvent();
        }
    }

    const std::unique_ptr<Events> events;
    boost::asio::posix::stream_descriptor descriptor;
    const std::function<void()> onEvent;
};

PowerSupplyMonitor::PowerSupplyMonitor(boost::asio::io_context& context, std::function<void()> onEvent,
                                       const std::filesystem::path& root) {
    std::unique_ptr<Events> events = root == kernelPowerSupplies ? deviceManagerEvents() : folderEvents(root);
    if (!events) {
        return;
    }
    try {
        watch_ = std::make_shared<Watch>(context, std::move(events), std::move(onEvent));
    } catch (const boost::system::system_error&) {
        return; // the descriptor cannot join the event loop
    }
    Watch::waitForEvents(watch_);
}

PowerSupplyMonitor::~PowerSupplyMonitor() = default;

} // namespace kestrava::power
