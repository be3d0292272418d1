#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrava {

// Text from a phone or the relay made safe for a log line: control and unassigned characters become
// "\u{HEX}", and the result is cut after `max` user-perceived characters with "…".
std::string sanitize(std::string_view text, std::size_t max);

} // namespace kestrava
