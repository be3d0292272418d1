#include "platform/host/ToolRunner.hpp"

#include "platform/process/ChildExit.hpp"
#include "platform/process/GroupLeaderSpawn.hpp"
#include "platform/process/Pipe.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace kestrava::host {
namespace {

using Clock = ToolRun::Clock;

// How long a program has to end after SIGTERM before it is killed.
constexpr auto terminateGrace = std::chrono::seconds(1);

// Appends what the non-blocking pipe holds; closes it at its end or on an error.
void readAvailable(process::Descriptor& pipe, std::string& output) {
    char buffer[4096];
    while (pipe.isOpen()) {
        const ssize_t count = ::read(pipe.get(), buffer, sizeof buffer);
        if (count > 0) {
            output.append(buffer, static_cast<std::size_t>(count));
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            if (count == 0 || errno != EAGAIN) {
                pipe.reset();
            }
            return;
        }
    }
}

// Reads the program's output until its leader exits or the deadline passes; true when it exited. The exit
// makes `exitNotice` readable; without it (kernels before 5.3 and seccomp profiles older than pidfds
// refuse them) the runner asks at intervals that grow to `longestPause`.
bool waitForExit(pid_t leader, int exitNotice, process::Descriptor& pipe, std::string& output,
                 Clock::time_point deadline) {
    constexpr std::int64_t longestPause = 50;
    std::int64_t pause = 1;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        std::int64_t timeout = std::max<std::int64_t>(left.count(), 0);
        if (exitNotice < 0) {
            timeout = std::min(timeout, pause);
            pause = std::min(pause * 2, longestPause);
        }
        pollfd watched[2] = {{exitNotice, POLLIN, 0}, {pipe.get(), POLLIN, 0}}; // -1 is not watched
        const int ready = ::poll(watched, 2, static_cast<int>(timeout));
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        if (watched[1].revents != 0) {
            readAvailable(pipe, output);
        }
        if (watched[0].revents != 0 || (exitNotice < 0 && process::hasExited(leader))) {
            return true;
        }
        if (left.count() <= 0) {
            return false;
        }
    }
}

// Kills what is left of the group, then reaps its leader. Until then the leader's pid, which is also the
// group's id, cannot be given to another process.
void killGroupAndReap(pid_t leader) {
    ::kill(-leader, SIGKILL);
    process::reap(leader);
}

} // namespace

std::optional<ToolRun> ToolRun::start(const std::filesystem::path& program,
                                      const std::vector<std::string>& arguments) {
    auto pipe = process::openPipe();
    const process::Descriptor discarded(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (!pipe || !discarded.isOpen()) {
        return std::nullopt;
    }
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const std::optional<pid_t> pid =
        process::spawnGroupLeader(program, argv, ".", pipe->writeEnd.get(), discarded.get());
    pipe->writeEnd.reset(); // the output ends when the program's copy closes
    if (!pid) {
        return std::nullopt;
    }
    ::fcntl(pipe->readEnd.get(), F_SETFL, O_NONBLOCK);
    // Readable when the child exits; no SIGCHLD handler is involved, and other children are left alone.
    // Where pidfds are refused it stays closed, and the exit is asked for instead.
    process::Descriptor exitNotice(static_cast<int>(::syscall(SYS_pidfd_open, *pid, 0)));
    return ToolRun(*pid, std::move(pipe->readEnd), std::move(exitNotice));
}

ToolRun::ToolRun(pid_t pid, process::Descriptor output, process::Descriptor exitNotice)
    : pid_(pid), output_(std::move(output)), exitNotice_(std::move(exitNotice)) {}

ToolRun::ToolRun(ToolRun&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), output_(std::move(other.output_)),
      exitNotice_(std::move(other.exitNotice_)) {}

ToolRun::~ToolRun() {
    if (pid_ > 0) {
        killGroupAndReap(pid_);
    }
}

std::optional<std::string> ToolRun::finish(Clock::time_point deadline) {
    const pid_t pid = std::exchange(pid_, -1);
    std::string text;
    if (!waitForExit(pid, exitNotice_.get(), output_, text, deadline)) {
        // The whole group: what the tool started must not outlive it.
        ::kill(-pid, SIGTERM);
        waitForExit(pid, exitNotice_.get(), output_, text, Clock::now() + terminateGrace);
        killGroupAndReap(pid);
        return std::nullopt;
    }
    readAvailable(output_, text);
    const auto status = process::reap(pid);
    if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) {
        return std::nullopt;
    }
    return text;
}

std::optional<std::string> runTool(const std::filesystem::path& program,
                                   const std::vector<std::string>& arguments,
                                   std::chrono::milliseconds limit) {
    const auto deadline = ToolRun::Clock::now() + limit;
    auto run = ToolRun::start(program, arguments);
    return run ? run->finish(deadline) : std::nullopt;
}

} // namespace kestrava::host
