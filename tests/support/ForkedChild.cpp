#include "tests/support/ForkedChild.hpp"

#include "platform/process/ChildExit.hpp"
#include "platform/process/ChildWatch.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrava::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

[[noreturn]] void runAndExit(const std::function<int()>& body) {
    int status = EXIT_FAILURE;
    try {
        status = body();
    } catch (const std::exception& error) {
        ADD_FAILURE() << "thrown in a forked child: " << error.what();
    } catch (...) {
        ADD_FAILURE() << "thrown in a forked child";
    }
    std::fflush(nullptr);
    ::_exit(status);
}

// True when the child exited by `deadline`, left unreaped. No SIGCHLD handler is involved: its exit ends
// the wait at once through a pidfd, and where those are refused (kernels before 5.3, seccomp profiles
// older than them) it is asked for at intervals that grow to `longestPause`.
bool exitsBy(pid_t child, Clock::time_point deadline) {
    constexpr milliseconds longestPause(50);
    process::ChildWatch watch(child);
    milliseconds pause(1);
    while (!process::hasExited(child)) {
        const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
        if (left <= milliseconds::zero()) {
            return false;
        }
        watch.sleep(std::min(pause, left));
        pause = std::min(pause * 2, longestPause);
    }
    return true;
}

} // namespace

std::optional<int> runInForkedChild(const std::function<int()>& body, milliseconds limit) {
    // Output buffered before the fork would otherwise be written twice.
    std::fflush(nullptr);
    const auto deadline = Clock::now() + limit;
    const pid_t child = ::fork();
    if (child < 0) {
        ADD_FAILURE() << "fork failed";
        return std::nullopt;
    }
    if (child == 0) {
        runAndExit(body);
    }
    if (!exitsBy(child, deadline)) {
        ::kill(child, SIGKILL);
        process::reap(child);
        ADD_FAILURE() << "the part of the test in a forked child did not end within "
                      << std::chrono::duration<double>(limit).count()
                      << " s: it may wait for a lock another thread held at the fork";
        return std::nullopt;
    }
    const auto status = process::reap(child);
    if (!status || !WIFEXITED(*status)) {
        ADD_FAILURE() << "the part of the test in a forked child did not exit (wait status "
                      << status.value_or(-1) << ")";
        return std::nullopt;
    }
    return WEXITSTATUS(*status);
}

} // namespace kestrava::test
