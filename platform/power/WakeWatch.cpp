#include "platform/power/WakeWatch.hpp"

#include "platform/dbus/SdBus.hpp"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <pthread.h>

namespace kestrava::power {
namespace {

constexpr const char* sleepSignals = "type='signal',sender='org.freedesktop.login1',"
                                     "interface='org.freedesktop.login1.Manager',member='PrepareForSleep',"
                                     "path='/org/freedesktop/login1'";

int onPrepareForSleep(sd_bus_message* message, void* watch, sd_bus_error*) {
    int goingToSleep = 0;
    if (sd_bus_message_read(message, "b", &goingToSleep) >= 0 && !goingToSleep) {
        (*static_cast<const std::function<void()>*>(watch))();
    }
    return 0;
}

} // namespace

WakeWatch::WakeWatch(std::function<void()> onWake)
    : onWake_(std::move(onWake)), thread_([this](const thread::StopSignal& stop) { watch(stop); }) {}

void WakeWatch::start() {
    thread_.start();
}

void WakeWatch::watch(const thread::StopSignal& stop) {
    pthread_setname_np(pthread_self(), "kestrava.wake");
    const dbus::Bus bus = dbus::openSystemBus();
    sd_bus_slot* slot = nullptr;
    if (!bus || sd_bus_add_match(bus.get(), &slot, sleepSignals, onPrepareForSleep,
                                 const_cast<std::function<void()>*>(&onWake_)) < 0) {
        return;
    }
    for (;;) {
        int processed = 0;
        while ((processed = sd_bus_process(bus.get(), nullptr)) > 0) {
        }
        if (processed < 0) {
            break; // the bus went away
        }
        // sd-bus gives an instant of the monotonic clock, the one steady_clock reads.
        std::uint64_t deadline = UINT64_MAX;
        sd_bus_get_timeout(bus.get(), &deadline);
        auto limit = std::chrono::milliseconds(-1);
        if (deadline != UINT64_MAX) {
            const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now().time_since_epoch());
            const auto left = std::chrono::microseconds(deadline) - now;
            limit =
                std::max(std::chrono::ceil<std::chrono::milliseconds>(left), std::chrono::milliseconds(0));
        }
        if (!stop.wait(sd_bus_get_fd(bus.get()), static_cast<short>(sd_bus_get_events(bus.get())), limit)) {
            break;
        }
    }
    sd_bus_slot_unref(slot);
}

} // namespace kestrava::power
