#pragma once

#include "platform/time/Timestamp.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace kestrava::iso8601 {

// "YYYY-MM-DDTHH:MM:SSZ" in UTC, whole seconds rounded down.
std::string format(Timestamp time);

// The same form, or one with a "+hh:mm", "-hh:mm", "+hhmm" or "-hhmm" offset in place of "Z".
// A fraction of a second, or anything else, gives nothing.
std::optional<Timestamp> parse(std::string_view text);

} // namespace kestrava::iso8601
