#pragma once

#include <filesystem>
#include <sys/types.h>

namespace kestrava::process {

// Whether process `pid` runs the program file at `path`: its /proc/<pid>/exe is that very file (same
// device and inode). False when either cannot be examined, or the process is of another pid namespace.
bool runsExecutable(pid_t pid, const std::filesystem::path& path);

} // namespace kestrava::process
