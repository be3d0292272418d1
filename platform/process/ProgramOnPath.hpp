#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace kestrava::process {

// Where a shell would find the program `name`: the first executable regular file of that name in the
// absolute folders of $PATH (the system's default search path when it is not set); nothing when there is
// none. Relative folders are skipped, so the working folder never supplies a program.
std::optional<std::filesystem::path> programOnPath(std::string_view name);

} // namespace kestrava::process
