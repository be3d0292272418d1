#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace kestrava::test {

// The whole file; throws when it cannot be read.
std::string fileText(const std::filesystem::path& path);

// Creates or replaces the file with exactly `text`; throws when it cannot.
void writeText(const std::filesystem::path& path, std::string_view text);

// How often `part` stands in `text`, overlaps included.
std::size_t occurrences(std::string_view text, std::string_view part);

} // namespace kestrava::test
