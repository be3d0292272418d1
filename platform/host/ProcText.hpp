#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kestrava::host {

// The whole of a kernel text file such as /proc/stat; nothing when it cannot be read.
std::optional<std::string> procText(const std::filesystem::path& file);

// The number that follows `label` at the start of a line ("btime 1700000000" with the label "btime",
// "MemTotal:  16318412 kB" with "MemTotal:"), at least one blank between them; a unit after it is ignored.
// The first line with the label counts; nothing when there is none or its number does not fit 64 bits.
std::optional<std::uint64_t> procNumber(std::string_view text, std::string_view label);

} // namespace kestrava::host
