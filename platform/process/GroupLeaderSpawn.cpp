#include "platform/process/GroupLeaderSpawn.hpp"

#include "platform/process/CoreDumps.hpp"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kestrava::process {
namespace {

// All the child needs, made before it exists: until it execs it shares the agent's memory (the agent's
// other threads run on) and may only make system calls.
struct ChildPlan {
    const char* program;
    char* const* argv;
    const char* workingDirectory;
    int standardOutput;
    int standardError;
    std::optional<rlimit> coreLimit;
    // Set by the child when it could not become the program; read by the agent after vfork returns.
    volatile int failure = 0;
};

// Moves `fd` to a number above standard error, so that setting up 0, 1 and 2 cannot overwrite it.
int aboveStandardError(int fd) {
    return ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
}

[[noreturn]] void becomeProgram(ChildPlan& plan) noexcept {
    // The agent's handlers must never run here, and an ignored signal (the agent ignores SIGPIPE) would
    // carry over into the program.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) {
        ::sigaction(signal, &byDefault, nullptr);
    }
    const int output = aboveStandardError(plan.standardOutput);
    const int error = aboveStandardError(plan.standardError);
    const int input = ::open("/dev/null", O_RDONLY);
    sigset_t none;
    sigemptyset(&none);
    // The agent lowered its own core size only to keep its secrets out of cores.
    const bool ready =
        output >= 0 && error >= 0 && input >= 0 && ::setpgid(0, 0) == 0 &&
        (!plan.coreLimit || ::setrlimit(RLIMIT_CORE, &*plan.coreLimit) == 0) &&
        (input == STDIN_FILENO || ::dup2(input, STDIN_FILENO) == STDIN_FILENO) &&
        ::dup2(output, STDOUT_FILENO) == STDOUT_FILENO && ::dup2(error, STDERR_FILENO) == STDERR_FILENO &&
        // Not every descriptor of the agent is close-on-exec (sockets of the event loop are not).
        ::close_range(STDERR_FILENO + 1, ~0U, 0) == 0 && ::chdir(plan.workingDirectory) == 0 &&
        ::sigprocmask(SIG_SETMASK, &none, nullptr) == 0;
    if (ready) {
        ::execve(plan.program, plan.argv, environ);
    }
    plan.failure = errno == 0 ? ENOEXEC : errno;
    ::_exit(127);
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

} // namespace

std::optional<pid_t> spawnGroupLeader(const std::filesystem::path& program,
                                      const std::vector<std::string>& arguments,
                                      const std::filesystem::path& workingDirectory, int standardOutput,
                                      int standardError) {
    std::vector<std::string> texts = arguments;
    std::vector<char*> argv;
    argv.reserve(texts.size() + 1);
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    ChildPlan plan{.program = program.c_str(),
                   .argv = argv.data(),
                   .workingDirectory = workingDirectory.c_str(),
                   .standardOutput = standardOutput,
                   .standardError = standardError,
                   .coreLimit = coreLimitBeforeRefusal()};

    // A spawn cannot restore a resource limit, so the child is made by hand as posix_spawn makes it: with
    // vfork the agent's thread waits until the child has exec'd or given up, and nothing is copied.
    pid_t pid = -1;
    {
        const AllSignalsBlocked blocked;
        pid = ::vfork();
        if (pid == 0) {
            becomeProgram(plan);
        }
    }
    if (pid < 0) {
        return std::nullopt;
    }
    if (plan.failure != 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return std::nullopt;
    }
    return pid;
}

} // namespace kestrava::process
