#pragma once

#include <optional>
#include <sys/types.h>

namespace kestrava::process {

// Whether the child has exited, leaving it unreaped. One that is no child of ours any more counts as
// exited: it will never be seen to exit.
bool hasExited(pid_t child);

// Waits until the child ends and reaps it: its wait status, or nothing when it is no child of ours.
std::optional<int> reap(pid_t child);

} // namespace kestrava::process
