#pragma once

#include <functional>
#include <optional>

namespace kestrava::test {

// Runs `body` on a thread of its own whose calls of kill(), and those of the threads and processes it
// starts, wait while a watcher looks at them, and counts those of this process that signalled a process
// group after this process had reaped the group's leader: by then the system may have given the id to an
// unrelated group. Nothing when the kernel cannot hold calls for a watcher (before 5.5, or a seccomp
// profile that forbids it).
std::optional<int> signalsToReapedGroups(const std::function<void()>& body);

} // namespace kestrava::test
