#pragma once

#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"
#include "platform/time/Timestamp.hpp"

#include <cstdint>
#include <string>

namespace kestrava {

// The machine's health as the phones and the application see it.
struct StatusSnapshot {
    std::int64_t uptimeSec = 0;
    Timestamp bootTime;
    std::int64_t freeMemPct = 0;
    bool sleepSafe = false;
    std::int64_t pmsetSleep = -1; // minutes; 0 = never, -1 = unknown
    bool onACPower = false;
    bool isLaptop = false;
    bool hasFullDiskAccess = false;
    std::string agentVersion;

    // "bootTime" is always whole seconds since 1970, rounded down, whatever the surrounding format
    // does with its other dates.
    json::Object encode() const;
    static StatusSnapshot decode(const json::ObjectReader& reader);

    // Whether a phone that saw `a` needs to be told `b`: every field but uptimeSec and freeMemPct, which
    // change all the time, is equal.
    static bool sameForPush(const StatusSnapshot& a, const StatusSnapshot& b);

    bool operator==(const StatusSnapshot&) const = default;
};

} // namespace kestrava
