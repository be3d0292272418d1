#include "platform/process/GroupLeaderSpawn.hpp"

#include "platform/process/CoreDumps.hpp"
#include "platform/process/Pipe.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kestrava::process {
namespace {

// All the child needs, made before it exists. Until it execs it may share the agent's memory (the agent's
// other threads run on), so it makes system calls only, none of them a cancellation point: those change
// the calling thread's cancellation state, which the child would change for the agent's thread. The errno
// it writes is the agent's thread's own under vfork; the agent restores its value.
struct ChildPlan {
    const char* program;
    char* const* argv;
    const char* workingDirectory;
    int standardInput;
    int standardOutput;
    int standardError;
    // The write end of a close-on-exec pipe: closed by a successful exec, given the reason otherwise.
    int failureReport;
    std::optional<rlimit> coreLimit;
};

// The descriptor the child keeps for its report while it closes the agent's others.
constexpr int reportDescriptor = STDERR_FILENO + 1;

// Moves `fd` to a number above standard error, so that setting up 0, 1 and 2 cannot overwrite it.
int aboveStandardError(int fd) noexcept {
    return ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
}

// The descriptor a /proc/self/fd entry names; -1 for "." and "..".
int descriptorNamed(const char* name) noexcept {
    int fd = 0;
    for (; *name != '\0'; ++name) {
        if (*name < '0' || *name > '9') {
            return -1;
        }
        fd = fd * 10 + (*name - '0');
    }
    return fd;
}

// Closes every descriptor from `first` on that /proc/self/fd lists; false when it cannot be read. The
// folder lists by number, so closing a descriptor does not move the entries still to come.
bool closeListedFrom(int first) noexcept {
    const int folder = static_cast<int>(
        ::syscall(SYS_openat, AT_FDCWD, "/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder < 0) {
        return false;
    }
    alignas(dirent64) char entries[1024];
    long count;
    while ((count = ::syscall(SYS_getdents64, folder, entries, sizeof entries)) > 0) {
        for (long at = 0; at < count;) {
            const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
            at += entry->d_reclen;
            const int fd = descriptorNamed(entry->d_name);
            if (fd >= first && fd != folder) {
                ::syscall(SYS_close, fd);
            }
        }
    }
    ::syscall(SYS_close, folder);
    return count == 0;
}

// The last fallback closes no number from here on, whatever the hard limit: the kernel's default ceiling
// on descriptors (fs.nr_open), which only an administrator's raised one exceeds. Closing the billion
// numbers some container runtimes allow, one by one, would hold the agent's thread for a minute or more.
constexpr rlim_t closingCeiling = rlim_t{1} << 20;

// Closes every descriptor from `first` on. Not every descriptor of the agent is close-on-exec (sockets of
// the event loop are not). close_range is refused by kernels before 5.9 and by container profiles written
// before it; then the open ones are listed, else every number below the hard descriptor limit is closed:
// the soft one may have been lowered since a higher descriptor was opened.
bool closeFrom(int first) noexcept {
    if (::close_range(static_cast<unsigned>(first), ~0U, 0) == 0 || closeListedFrom(first)) {
        return true;
    }
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return false;
    }
    const rlim_t end = std::min(limit.rlim_max, closingCeiling);
    for (rlim_t fd = static_cast<rlim_t>(first); fd < end; ++fd) {
        ::syscall(SYS_close, static_cast<int>(fd));
    }
    return true;
}

// Moves the report to `reportDescriptor`, below every descriptor the child closes.
bool keepReport(int& report) noexcept {
    if (report != reportDescriptor && ::dup3(report, reportDescriptor, O_CLOEXEC) != reportDescriptor) {
        return false;
    }
    report = reportDescriptor;
    return true;
}

[[noreturn]] void giveUp(int report) noexcept {
    const int reason = errno == 0 ? ENOEXEC : errno;
    ::syscall(SYS_write, report, &reason, sizeof reason);
    ::_exit(127);
}

// The child's whole work. Under vfork it runs on the agent's thread's stack, beneath the frame of the call
// that made it, and must leave that frame as it was: kept out of line, everything it writes lives in a
// frame of its own below the caller's, where the caller keeps nothing once it resumes. Inlined, the
// compiler would give its values slots in the caller's frame.
[[gnu::noinline]] [[noreturn]] void becomeProgram(const ChildPlan& plan) noexcept {
    // The agent's handlers must never run here, and an ignored signal (the agent ignores SIGPIPE) would
    // carry over into the program.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) {
        ::sigaction(signal, &byDefault, nullptr);
    }
    int report = aboveStandardError(plan.failureReport);
    if (report < 0) {
        giveUp(plan.failureReport);
    }
    const int input = aboveStandardError(plan.standardInput);
    const int output = aboveStandardError(plan.standardOutput);
    const int error = aboveStandardError(plan.standardError);
    sigset_t none;
    sigemptyset(&none);
    // The agent lowered its own core size only to keep its secrets out of cores.
    const bool ready = input >= 0 && output >= 0 && error >= 0 && ::setpgid(0, 0) == 0 &&
                       (!plan.coreLimit || ::setrlimit(RLIMIT_CORE, &*plan.coreLimit) == 0) &&
                       ::dup2(input, STDIN_FILENO) == STDIN_FILENO &&
                       ::dup2(output, STDOUT_FILENO) == STDOUT_FILENO &&
                       ::dup2(error, STDERR_FILENO) == STDERR_FILENO && keepReport(report) &&
                       closeFrom(reportDescriptor + 1) && ::chdir(plan.workingDirectory) == 0 &&
                       ::sigprocmask(SIG_SETMASK, &none, nullptr) == 0;
    if (ready) {
        ::execve(plan.program, plan.argv, environ);
    }
    giveUp(report);
}

// Blocks every signal of the calling thread while it lives: the child starts with this mask, so that no
// handler of the agent runs in it before it has set every signal to its default.
class AllSignalsBlocked {
public:
    AllSignalsBlocked() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &previous_);
    }
    ~AllSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    AllSignalsBlocked(const AllSignalsBlocked&) = delete;
    AllSignalsBlocked& operator=(const AllSignalsBlocked&) = delete;

private:
    sigset_t previous_;
};

// Waits for the child to exec or give up: its copy of the report's write end closes on exec, and it
// writes the reason before it gives up. Nothing when it exec'd.
std::optional<int> failureReported(Pipe& report) {
    report.writeEnd.reset();
    int reason = 0;
    ssize_t count;
    while ((count = ::read(report.readEnd.get(), &reason, sizeof reason)) < 0 && errno == EINTR) {
    }
    if (count == 0) {
        return std::nullopt;
    }
    return count == sizeof reason ? reason : EIO;
}

} // namespace

std::optional<pid_t> spawnGroupLeader(const std::filesystem::path& program,
                                      const std::vector<std::string>& arguments,
                                      const std::filesystem::path& workingDirectory, int standardOutput,
                                      int standardError, ChildCreation creation) {
    std::vector<std::string> texts = arguments;
    std::vector<char*> argv;
    argv.reserve(texts.size() + 1);
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    const Descriptor input(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    auto report = openPipe();
    if (!input.isOpen() || !report) {
        return std::nullopt;
    }
    const ChildPlan plan{.program = program.c_str(),
                         .argv = argv.data(),
                         .workingDirectory = workingDirectory.c_str(),
                         .standardInput = input.get(),
                         .standardOutput = standardOutput,
                         .standardError = standardError,
                         .failureReport = report->writeEnd.get(),
                         .coreLimit = coreLimitBeforeRefusal()};

    // A spawn cannot restore a resource limit, so the child is made by hand as posix_spawn makes it: with
    // vfork the agent's thread waits until the child has exec'd or given up, and nothing is copied.
    const int callersError = errno;
    pid_t pid = -1;
    int creationError = 0;
    {
        const AllSignalsBlocked blocked;
        pid = creation == ChildCreation::vfork ? ::vfork() : ::fork();
        if (pid == 0) {
            becomeProgram(plan);
        }
        creationError = errno;
    }
    if (pid < 0) {
        errno = creationError;
        return std::nullopt;
    }
    if (const auto reason = failureReported(*report)) {
        // It has given up, or the report could not be read: then it must not run on unseen.
        ::kill(pid, SIGKILL);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        errno = *reason;
        return std::nullopt;
    }
    errno = callersError;
    return pid;
}

} // namespace kestrava::process
