#include "protocol-kit/StatusSnapshot.hpp"

#include <limits>

namespace kestrava {

json::Object StatusSnapshot::encode() const {
    json::Object object;
    object.add("uptimeSec", json::Value::integer(uptimeSec))
        .add("bootTime", json::Value::integer(wholeSecondsSince1970(bootTime)))
        .add("freeMemPct", json::Value::integer(freeMemPct))
        .add("sleepSafe", sleepSafe)
        .add("pmsetSleep", json::Value::integer(pmsetSleep))
        .add("onACPower", onACPower)
        .add("isLaptop", isLaptop)
        .add("hasFullDiskAccess", hasFullDiskAccess)
        .add("agentVersion", agentVersion);
    return object;
}

StatusSnapshot StatusSnapshot::decode(const json::ObjectReader& reader) {
    StatusSnapshot snapshot;
    snapshot.uptimeSec = reader.int64("uptimeSec");
    const std::int64_t bootSeconds = reader.int64("bootTime");
    // A time stamp holds nanoseconds in 64 bits: about 292 years either side of 1970.
    constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max() / 1'000'000'000;
    if (bootSeconds > limit || bootSeconds < -limit) {
        reader.dataCorrupted("bootTime", "boot time out of range");
    }
    snapshot.bootTime = timestampFromSeconds(bootSeconds);
    snapshot.freeMemPct = reader.int64("freeMemPct");
    snapshot.sleepSafe = reader.boolean("sleepSafe");
    snapshot.pmsetSleep = reader.int64("pmsetSleep");
    snapshot.onACPower = reader.boolean("onACPower");
    snapshot.isLaptop = reader.boolean("isLaptop");
    snapshot.hasFullDiskAccess = reader.boolean("hasFullDiskAccess");
    snapshot.agentVersion = reader.string("agentVersion");
    return snapshot;
}

bool StatusSnapshot::sameForPush(const StatusSnapshot& a, const StatusSnapshot& b) {
    return a.sleepSafe == b.sleepSafe && a.pmsetSleep == b.pmsetSleep && a.onACPower == b.onACPower &&
           a.isLaptop == b.isLaptop && a.hasFullDiskAccess == b.hasFullDiskAccess &&
           a.agentVersion == b.agentVersion && a.bootTime == b.bootTime;
}

} // namespace kestrava
