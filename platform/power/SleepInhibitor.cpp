#include "platform/power/SleepInhibitor.hpp"

#include "platform/dbus/SdBus.hpp"

#include <fcntl.h>
#include <unistd.h>

namespace kestrava::power {
namespace {

constexpr const char* holderName = "Kestrava keep awake";

} // namespace

std::optional<int> inhibitSleep(const std::string& what) {
    const dbus::Bus bus = dbus::openSystemBus();
    if (!bus) {
        return std::nullopt;
    }
    sd_bus_message* rawCall = nullptr;
    if (sd_bus_message_new_method_call(bus.get(), &rawCall, "org.freedesktop.login1",
                                       "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                       "Inhibit") < 0) {
        return std::nullopt;
    }
    const dbus::Message call(rawCall);
    if (sd_bus_message_append(call.get(), "ssss", what.c_str(), holderName, holderName, "block") < 0) {
        return std::nullopt;
    }
    dbus::Error error;
    sd_bus_message* rawReply = nullptr;
    if (sd_bus_call(bus.get(), call.get(), dbus::callLimitMicroseconds, error.get(), &rawReply) < 0) {
        return std::nullopt;
    }
    const dbus::Message reply(rawReply);
    int descriptor = -1;
    if (sd_bus_message_read(reply.get(), "h", &descriptor) < 0) {
        return std::nullopt;
    }
    // The reply owns its descriptor and closes it when freed; the lock needs a copy of our own.
    const int own = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
    return own >= 0 ? std::optional(own) : std::nullopt;
}

void releaseInhibitor(int descriptor) {
    ::close(descriptor);
}

} // namespace kestrava::power
