#pragma once

#include <optional>
#include <sys/resource.h>

namespace kestrava::process {

// Keeps the process's memory out of core dumps and away from other processes of the same user, for a
// process about to hold secrets: it is no longer dumpable, and its own core size is 0 (a core handler
// such as systemd-coredump also takes cores of processes that are not dumpable). The hard limit stays,
// so that the programs it starts can be given the limit it was started with. Call before any thread.
void refuseCoreDumps();

// The core size limit the process had before refuseCoreDumps(); nothing when it was never called.
std::optional<rlimit> coreLimitBeforeRefusal();

} // namespace kestrava::process
