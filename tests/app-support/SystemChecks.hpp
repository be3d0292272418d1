#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kestrava::test {

// What the system's own checker says of a file, or none when the checker is not installed (the test
// then skips, saying so).
struct CheckerReport {
    int status;
    std::string errors; // standard error
};

// `systemd-analyze verify --user` of a unit, with a runtime folder of its own so that it reaches no
// user manager. It exits 0 even for an unknown key: only empty errors mean systemd reads it as written.
std::optional<CheckerReport> verifyUnit(const std::filesystem::path& unit);

// `desktop-file-validate` of a desktop entry; hints and errors both go to standard output, taken here.
std::optional<CheckerReport> validateDesktopEntry(const std::filesystem::path& entry);

} // namespace kestrava::test
