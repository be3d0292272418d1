#include "tests/support/StandInPrograms.hpp"

#include "tests/support/TestFiles.hpp"

#include <cstdlib>

namespace kestrava::test {
namespace {

std::string pathWithFirst(const std::filesystem::path& folder) {
    const char* path = std::getenv("PATH");
    return folder.string() + ":" + (path ? path : "/usr/bin:/bin");
}

} // namespace

StandInPrograms::StandInPrograms() : path_("PATH", pathWithFirst(folder_.path())) {}

void StandInPrograms::add(const std::string& name, std::string_view script) const {
    const auto program = folder_ / name;
    writeText(program, "#!/bin/sh\n" + std::string(script));
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
}

} // namespace kestrava::test
