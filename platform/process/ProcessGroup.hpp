#pragma once

#include <sys/types.h>

namespace kestrava::process {

// Whether a process of group `pgid` is still running or stopped. Zombies do not count, so an exited
// leader that its parent keeps unreaped, to hold the group's id, does not make the group look alive, as
// it does to a null signal. True when the process table cannot be read: nothing then shows the group gone.
bool groupHasLivingMember(pid_t pgid);

} // namespace kestrava::process
