#pragma once

#include <optional>
#include <string>

namespace kestrava::power {

// Asks the login manager for a blocking inhibitor lock of kind `what` ("idle", "sleep"). The lock lasts
// while the returned descriptor stays open. Nothing when there is no system bus, the login manager
// refuses or does not answer within the call limit.
std::optional<int> inhibitSleep(const std::string& what);

// Ends the lock by closing its descriptor.
void releaseInhibitor(int descriptor);

} // namespace kestrava::power
