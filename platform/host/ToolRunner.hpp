#pragma once

#include "platform/process/Descriptor.hpp"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kestrava::host {

// A program run as a tool: standard error goes to /dev/null, standard input comes from it; the environment
// and the working folder are the agent's; no other descriptor of the agent reaches it, and it leads a
// process group of its own. Only the program's own pid is waited for; what it started is stopped with it
// when it has to be stopped.
class ToolRun {
public:
    using Clock = std::chrono::steady_clock;

    // Nothing when it cannot be started.
    static std::optional<ToolRun> start(const std::filesystem::path& program,
                                        const std::vector<std::string>& arguments);

    ToolRun(ToolRun&& other) noexcept;
    ToolRun& operator=(ToolRun&&) = delete;
    ToolRun(const ToolRun&) = delete;
    ToolRun& operator=(const ToolRun&) = delete;
    // A run never finished is killed with its group and reaped.
    ~ToolRun();

    // What it wrote to standard output, once it has exited with status 0 by `deadline`; otherwise nothing.
    // One still running at the deadline is asked to end (SIGTERM to its group) and given one second more,
    // then whatever is left of its group is killed, so this returns at most about a second after the
    // deadline.
    std::optional<std::string> finish(Clock::time_point deadline);

private:
    ToolRun(pid_t pid, process::Descriptor output, process::Descriptor exitNotice);

    pid_t pid_;
    process::Descriptor output_;
    process::Descriptor exitNotice_;
};

// Starts `program` with `arguments` and returns what it wrote to standard output, or nothing when it cannot
// be started, exits with a status other than 0 or does not exit within `limit` (the caller then waits at
// most `limit` plus about a second).
std::optional<std::string> runTool(const std::filesystem::path& program,
                                   const std::vector<std::string>& arguments,
                                   std::chrono::milliseconds limit);

} // namespace kestrava::host
