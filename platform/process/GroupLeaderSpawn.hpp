#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kestrava::process {

// Starts `program` with `arguments` (the first is the program's own name) and the agent's environment as
// the leader of a new process group, so that a signal to the group reaches everything it starts. The
// program runs in `workingDirectory` with standard input from /dev/null, standard output and error on the
// given descriptors, and no other descriptor of the agent; its signal mask is empty, every signal has
// its default action, and its core size limit is the one the agent was started with. Returns its pid, which
// is also its group id, or nothing when it cannot be started (the working directory or the program missing
// included).
std::optional<pid_t> spawnGroupLeader(const std::filesystem::path& program,
                                      const std::vector<std::string>& arguments,
                                      const std::filesystem::path& workingDirectory, int standardOutput,
                                      int standardError);

} // namespace kestrava::process
