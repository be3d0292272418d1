#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace kestrava::test {

// Points this process's session-bus address (DBUS_SESSION_BUS_ADDRESS) at `address` until destroyed,
// then puts the earlier value back.
class SessionBusAddress {
public:
    explicit SessionBusAddress(const std::string& address);
    ~SessionBusAddress();
    SessionBusAddress(const SessionBusAddress&) = delete;
    SessionBusAddress& operator=(const SessionBusAddress&) = delete;

private:
    std::optional<std::string> previous_;
};

// A session bus of the test's own: a dbus-daemon child that ends with this object. The process's
// session-bus address points at it meanwhile.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    const std::string& address() const noexcept { return address_; }

private:
    pid_t pid_ = -1;
    std::string address_;
    std::optional<SessionBusAddress> pointed_;
};

} // namespace kestrava::test
