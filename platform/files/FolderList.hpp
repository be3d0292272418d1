#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

namespace kestrava::files {

// The absolute folders of a colon-separated list such as $PATH, in order; empty and relative entries are
// skipped, so the working folder never stands in for one.
std::vector<std::filesystem::path> absoluteFolders(std::string_view list);

} // namespace kestrava::files
