#pragma once

#include <cstdint>
#include <memory>
#include <systemd/sd-bus.h>

// Owning handles for sd-bus objects. An sd-bus connection is not thread-safe: each one is used by one
// thread at a time.
namespace kestrava::dbus {

struct BusRelease {
    void operator()(sd_bus* bus) const noexcept { sd_bus_flush_close_unref(bus); }
};
struct MessageRelease {
    void operator()(sd_bus_message* message) const noexcept { sd_bus_message_unref(message); }
};

using Bus = std::unique_ptr<sd_bus, BusRelease>;
using Message = std::unique_ptr<sd_bus_message, MessageRelease>;

// An sd_bus_error that frees itself.
class Error {
public:
    Error() = default;
    ~Error() { sd_bus_error_free(&error_); }
    Error(const Error&) = delete;
    Error& operator=(const Error&) = delete;

    sd_bus_error* get() noexcept { return &error_; }

private:
    sd_bus_error error_{nullptr, nullptr, 0};
};

// A private connection to the system or the session bus; null when there is none.
inline Bus openSystemBus() {
    sd_bus* bus = nullptr;
    return sd_bus_open_system(&bus) >= 0 ? Bus(bus) : Bus();
}

inline Bus openSessionBus() {
    sd_bus* bus = nullptr;
    return sd_bus_open_user(&bus) >= 0 ? Bus(bus) : Bus();
}

// Method calls on the system's services answer within this limit or count as failed.
inline constexpr std::uint64_t callLimitMicroseconds = 2'000'000;

} // namespace kestrava::dbus
