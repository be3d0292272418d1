#include "platform/host/LogindIdleAction.hpp"

#include "platform/dbus/SdBus.hpp"

#include <chrono>
#include <limits>

namespace kestrava::host {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t microsecondsPerMinute = 60'000'000;
constexpr std::uint64_t infinity = std::numeric_limits<std::uint64_t>::max();

// The reply to Properties.Get for one property of the login manager, opened at its value of D-Bus type
// `type`; null when the call fails or does not answer before `deadline`.
dbus::Message managerProperty(sd_bus* bus, const char* name, const char* type, Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    sd_bus_message* call = nullptr;
    if (left <= 0 ||
        sd_bus_message_new_method_call(bus, &call, "org.freedesktop.login1", "/org/freedesktop/login1",
                                       "org.freedesktop.DBus.Properties", "Get") < 0) {
        return {};
    }
    const dbus::Message request(call);
    if (sd_bus_message_append(call, "ss", "org.freedesktop.login1.Manager", name) < 0) {
        return {};
    }
    dbus::Error error;
    sd_bus_message* answer = nullptr;
    if (sd_bus_call(bus, call, static_cast<std::uint64_t>(left), error.get(), &answer) < 0) {
        return {};
    }
    dbus::Message reply(answer);
    if (sd_bus_message_enter_container(answer, 'v', type) <= 0) {
        return {};
    }
    return reply;
}

} // namespace

std::int64_t idleActionMinutes(std::string_view action, std::uint64_t delayMicroseconds) {
    if (action == "ignore" || action == "lock" || delayMicroseconds == 0 || delayMicroseconds == infinity) {
        return 0;
    }
    const std::uint64_t minutes =
        delayMicroseconds / microsecondsPerMinute + (delayMicroseconds % microsecondsPerMinute != 0 ? 1 : 0);
    return static_cast<std::int64_t>(minutes);
}

std::int64_t logindIdleSleepMinutes(sd_bus* bus) {
    if (!bus) {
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::microseconds(dbus::callLimitMicroseconds);
    const dbus::Message action = managerProperty(bus, "IdleAction", "s", deadline);
    const char* actionName = nullptr;
    if (!action || sd_bus_message_read_basic(action.get(), 's', &actionName) < 0) {
        return -1;
    }
    const dbus::Message delay = managerProperty(bus, "IdleActionUSec", "t", deadline);
    std::uint64_t delayMicroseconds = 0;
    if (!delay || sd_bus_message_read_basic(delay.get(), 't', &delayMicroseconds) < 0) {
        return -1;
    }
    return idleActionMinutes(actionName, delayMicroseconds);
}

std::int64_t logindIdleSleepMinutes() {
    const dbus::Bus bus = dbus::openSystemBus();
    return logindIdleSleepMinutes(bus.get());
}

} // namespace kestrava::host
