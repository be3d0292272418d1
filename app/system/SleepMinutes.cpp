#include "app/system/SleepMinutes.hpp"

#include "agent-core/host/HostFacts.hpp"

namespace kestrava::app {

std::int64_t currentSleepMinutes() {
    return readSleepTimer(SystemPowerSource());
}

} // namespace kestrava::app
