#pragma once

#include <optional>
#include <string>

namespace kestrava::process {

// The machine's name for people: PRETTY_HOSTNAME of /etc/machine-info, else the host name; nothing when
// neither is set.
std::optional<std::string> localizedHostName();

} // namespace kestrava::process
