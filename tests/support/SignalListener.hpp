#pragma once

#include "platform/dbus/SdBus.hpp"

#include <chrono>
#include <deque>
#include <optional>
#include <string>

namespace kestrava::test {

struct ReceivedSignal {
    std::string interface;
    std::string member;
    std::string path;
    // The unique name of the connection that sent it. Not compared: what was said is the same whoever
    // said it.
    std::string sender = {};
    bool operator==(const ReceivedSignal& other) const {
        return interface == other.interface && member == other.member && path == other.path;
    }
};

// A connection of its own to the bus at `address` that collects the signals of one interface. The
// match is in place when the constructor returns.
class SignalListener {
public:
    SignalListener(const std::string& address, const std::string& interface);
    ~SignalListener();
    SignalListener(const SignalListener&) = delete;
    SignalListener& operator=(const SignalListener&) = delete;

    // The next signal in order of arrival; nothing when none came within `limit`.
    std::optional<ReceivedSignal> next(std::chrono::milliseconds limit = std::chrono::seconds(10));

private:
    static int received(sd_bus_message* message, void* listener, sd_bus_error* error);

    dbus::Bus bus_;
    sd_bus_slot* match_ = nullptr;
    std::deque<ReceivedSignal> arrived_;
};

} // namespace kestrava::test
