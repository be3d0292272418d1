#include "platform/process/ChildExit.hpp"

#include <cerrno>
#include <sys/wait.h>

namespace kestrava::process {

bool hasExited(pid_t child) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
           info.si_pid == child;
}

std::optional<int> reap(pid_t child) {
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(child, &status, 0);
    } while (result < 0 && errno == EINTR);
    return result == child ? std::optional(status) : std::nullopt;
}

} // namespace kestrava::process
