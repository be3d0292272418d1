#pragma once

namespace kestrava::app {

// Where a login item stands: the agent's user service, or the application's own start at login.
enum class ServiceStatus {
    notRegistered,
    enabled,
    requiresApproval, // blocked until the user lifts the block (a masked unit)
    notFound,         // the program it would start is missing
};

} // namespace kestrava::app
