#pragma once

#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"
#include "platform/time/Timestamp.hpp"

#include <optional>
#include <string_view>

namespace kestrava {

// Dates in the values shown to the application are milliseconds since 1970 as a JSON number: whole
// milliseconds without a fraction, finer times with one.
json::Value millisecondsValue(Timestamp t);

// Any JSON number of milliseconds; one beyond what a time stamp holds fails as corrupted data at `key`.
Timestamp readMillisecondsMember(const json::ObjectReader& reader, std::string_view key);
std::optional<Timestamp> readOptionalMillisecondsMember(const json::ObjectReader& reader,
                                                        std::string_view key);

} // namespace kestrava
