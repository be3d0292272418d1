#pragma once

#include "app/system/PlatformError.hpp"

#include <QCoro/QCoroTask>
#include <optional>
#include <string>

namespace kestrava::app {

// The calls the agent's unit needs of the user's service manager (systemd's Manager interface on the
// session bus). Each answers none when done, or the error the manager gave.
class SystemdUserManager {
public:
    using Answer = QCoro::Task<std::optional<PlatformError>>;

    virtual ~SystemdUserManager() = default;

    virtual Answer enableUnitFiles(std::string unit) = 0;
    virtual Answer disableUnitFiles(std::string unit) = 0;
    virtual Answer reload() = 0;
    virtual Answer startUnit(std::string unit) = 0;
    virtual Answer stopUnit(std::string unit) = 0;
};

} // namespace kestrava::app
