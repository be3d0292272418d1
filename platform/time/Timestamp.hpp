#pragma once

#include <chrono>
#include <cstdint>

namespace kestrava {

// A wall-clock instant at nanosecond precision, so that ages like "600 s exactly" compare exactly.
using Timestamp = std::chrono::sys_time<std::chrono::nanoseconds>;

inline Timestamp wallClockNow() {
    return std::chrono::time_point_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now());
}

// Whole seconds since 1970, rounded toward minus infinity.
inline std::int64_t wholeSecondsSince1970(Timestamp t) {
    return std::chrono::floor<std::chrono::seconds>(t).time_since_epoch().count();
}

// Whole milliseconds since 1970, rounded toward minus infinity.
inline std::int64_t millisecondsSince1970(Timestamp t) {
    return std::chrono::floor<std::chrono::milliseconds>(t).time_since_epoch().count();
}

inline Timestamp timestampFromSeconds(std::int64_t seconds) {
    return Timestamp{std::chrono::seconds{seconds}};
}

inline Timestamp timestampFromMilliseconds(std::int64_t milliseconds) {
    return Timestamp{std::chrono::milliseconds{milliseconds}};
}

} // namespace kestrava
