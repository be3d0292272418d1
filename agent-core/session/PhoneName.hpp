#pragma once

#include <string>
#include <string_view>

namespace kestrava {

// The name a phone gave itself, made fit to show: control and unassigned characters dropped, white space
// trimmed from both ends, at most 64 user-perceived characters (cut after trimming, so it may end in a
// blank), and "iPhone" when nothing is left. `name` is valid UTF-8.
std::string sanitizePhoneName(std::string_view name);

} // namespace kestrava
