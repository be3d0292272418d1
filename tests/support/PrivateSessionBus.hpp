#pragma once

#include "tests/support/EnvironmentOverride.hpp"

#include <optional>
#include <string>
#include <sys/types.h>

namespace kestrava::test {

// A bus of the test's own with the session bus's rules (anyone may own any name): a dbus-daemon child that
// ends with this object. The process's session-bus address points at it meanwhile, or with
// "DBUS_SYSTEM_BUS_ADDRESS" its system-bus address, so that it stands for the system bus.
class PrivateSessionBus {
public:
    explicit PrivateSessionBus(const std::string& addressVariable = "DBUS_SESSION_BUS_ADDRESS");
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    const std::string& address() const noexcept { return address_; }

private:
    pid_t pid_ = -1;
    std::string address_;
    std::optional<EnvironmentOverride> pointed_;
};

} // namespace kestrava::test
