#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kestrava::process {

// The machine's name for people: PRETTY_HOSTNAME of `machineInfo`, else the host name; nothing when
// neither is set. A name that is not UTF-8 is passed over like a missing one: it could not be stored.
std::optional<std::string> localizedHostName(const std::filesystem::path& machineInfo = "/etc/machine-info");

} // namespace kestrava::process
