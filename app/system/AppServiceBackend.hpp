#pragma once

#include "app/async/Result.hpp"
#include "app/system/PlatformError.hpp"
#include "app/system/ServiceStatus.hpp"

#include <QCoro/QCoroTask>

namespace kestrava::app {

// A login item: something the system starts for the user, here or at the next login.
class AppServiceBackend {
public:
    virtual ~AppServiceBackend() = default;

    // Read from the files that decide it: cheap, no bus call.
    virtual ServiceStatus status() const = 0;
    // Registers the item and, for a service, starts it.
    virtual QCoro::Task<Result<void, PlatformError>> registerService() = 0;
    // Stops and unregisters it.
    virtual QCoro::Task<Result<void, PlatformError>> unregisterService() = 0;
    // Where the user would lift a block; this desktop has no such page, so it only says so in the log.
    virtual void openSystemSettingsLoginItems() = 0;
};

} // namespace kestrava::app
