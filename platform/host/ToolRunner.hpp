#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestrava::host {

// Runs `program` with `arguments` and returns what it wrote to standard output, or nothing when it cannot
// be started, exits with a status other than 0 or does not exit within `limit`. Standard error goes to
// /dev/null, standard input comes from it; the environment and the working folder are the agent's; no
// other descriptor of the agent reaches it, and it leads a process group of its own. A program still running
// at the limit is asked to end (SIGTERM) and given one second more, then killed, so the caller waits at most
// `limit` plus about a second. Only the program's own pid is waited for.
std::optional<std::string> runTool(const std::filesystem::path& program,
                                   const std::vector<std::string>& arguments,
                                   std::chrono::milliseconds limit);

} // namespace kestrava::host
