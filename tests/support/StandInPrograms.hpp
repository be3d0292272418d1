#pragma once

#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <filesystem>
#include <string>
#include <string_view>

namespace kestrava::test {

// A folder of shell scripts put first on PATH for the life of the object, so that code under test starts
// them as real processes in place of the system's programs of the same names.
class StandInPrograms {
public:
    StandInPrograms();

    // Writes an executable `name` whose body (after "#!/bin/sh") is `script`.
    void add(const std::string& name, std::string_view script) const;

    // A file in the folder, for scripts to write to and tests to read.
    std::filesystem::path operator/(const std::filesystem::path& name) const { return folder_ / name; }

private:
    TemporaryDirectory folder_;
    EnvironmentOverride path_;
};

} // namespace kestrava::test
