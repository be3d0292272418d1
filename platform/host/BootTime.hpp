#pragma once

#include "platform/time/Timestamp.hpp"

#include <filesystem>
#include <optional>

namespace kestrava::host {

// When the machine booted, from the "btime" line of a file in the form of /proc/stat: whole seconds, so
// two readings agree exactly (a value derived from the uptime clock would jitter between calls). Moves
// with steps of the wall clock. Nothing when the file or the line cannot be read.
std::optional<Timestamp> kernelBootTime(const std::filesystem::path& statFile = "/proc/stat");

} // namespace kestrava::host
