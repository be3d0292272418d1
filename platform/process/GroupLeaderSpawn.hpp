#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kestrava::process {

// How the child is made. The agent makes it with vfork: nothing is copied, and the calling thread waits
// until the child has started the program or given up. Tools such as ThreadSanitizer and valgrind turn
// vfork into fork, which must mean the same; tests choose fork to see that it does.
enum class ChildCreation { vfork, fork };

// Starts `program` with `arguments` (the first is the program's own name) and the agent's environment as
// the leader of a new process group, so that a signal to the group reaches everything it starts. The
// program runs in `workingDirectory` with standard input from /dev/null, standard output and error on the
// given descriptors, and no other descriptor of the agent; its signal mask is empty, every signal has
// its default action, and its core size limit is the one the agent was started with. Returns its pid, which
// is also its group id, with the caller's errno unchanged; or nothing when it cannot be started (the
// working directory or the program missing included), with errno telling why.
std::optional<pid_t> spawnGroupLeader(const std::filesystem::path& program,
                                      const std::vector<std::string>& arguments,
                                      const std::filesystem::path& workingDirectory, int standardOutput,
                                      int standardError, ChildCreation creation = ChildCreation::vfork);

} // namespace kestrava::process
