#include "agent-core/control/XPCDateMembers.hpp"

#include <cmath>

namespace kestrava {
namespace {

constexpr std::int64_t nanosecondsPerMillisecond = 1'000'000;

// Whole milliseconds that still leave room for the fraction within a 64-bit count of nanoseconds.
constexpr double earliestMilliseconds = -9'223'372'036'854.0;
constexpr double latestMilliseconds = 9'223'372'036'853.0;

Timestamp timestampOf(const json::ObjectReader& reader, std::string_view key, double milliseconds) {
    if (milliseconds < earliestMilliseconds || milliseconds > latestMilliseconds) {
        reader.dataCorrupted(key, "date out of range");
    }
    const double whole = std::floor(milliseconds);
    const auto fraction =
        std::llround((milliseconds - whole) * static_cast<double>(nanosecondsPerMillisecond));
    return Timestamp{
        std::chrono::nanoseconds{static_cast<std::int64_t>(whole) * nanosecondsPerMillisecond + fraction}};
}

} // namespace

json::Value millisecondsValue(Timestamp t) {
    // The whole milliseconds stay exact (they are far below 2^53); only the fraction is rounded.
    const std::int64_t whole = millisecondsSince1970(t);
    const std::int64_t rest = t.time_since_epoch().count() - whole * nanosecondsPerMillisecond;
    return json::Value::real(static_cast<double>(whole) +
                             static_cast<double>(rest) / static_cast<double>(nanosecondsPerMillisecond));
}

Timestamp readMillisecondsMember(const json::ObjectReader& reader, std::string_view key) {
    return timestampOf(reader, key, reader.number(key));
}

std::optional<Timestamp> readOptionalMillisecondsMember(const json::ObjectReader& reader,
                                                        std::string_view key) {
    const std::optional<double> milliseconds = reader.optionalNumber(key);
    return milliseconds ? std::optional(timestampOf(reader, key, *milliseconds)) : std::nullopt;
}

} // namespace kestrava
