#include "platform/process/GroupLeaderSpawn.hpp"
#include "platform/process/Pipe.hpp"
#include "tests/support/RefusedSystemCalls.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace kestrava::process {
namespace {

// The errno a caller had before it started a program.
constexpr int callersError = EDOM;

struct ScriptRun {
    std::optional<pid_t> pid;
    int errorAfterSpawn = 0;
    std::string output; // standard output and error together
    int status = -1;
};

ScriptRun runScript(const std::string& script, ChildCreation creation = ChildCreation::vfork,
                    const std::filesystem::path& workingDirectory = "/",
                    const std::filesystem::path& shell = "/bin/sh") {
    auto pipe = openPipe();
    if (!pipe) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
    ScriptRun run;
    errno = callersError;
    run.pid = spawnGroupLeader(shell, {"sh", "-c", script}, workingDirectory, pipe->writeEnd.get(),
                               pipe->writeEnd.get(), creation);
    run.errorAfterSpawn = errno;
    pipe->writeEnd.reset();
    if (run.pid) {
        char buffer[4096];
        for (ssize_t count; (count = ::read(pipe->readEnd.get(), buffer, sizeof buffer)) > 0;) {
            run.output.append(buffer, static_cast<std::size_t>(count));
        }
        ::waitpid(*run.pid, &run.status, 0);
    }
    return run;
}

// Descriptors held without close-on-exec, as the agent's event loop holds its sockets; one far above the
// others.
class LeakyDescriptors {
public:
    LeakyDescriptors() {
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets_) != 0) {
            throw std::system_error(errno, std::generic_category(), "socketpair");
        }
        high_ = ::fcntl(sockets_[0], F_DUPFD, 1000);
        if (high_ < 0) {
            throw std::system_error(errno, std::generic_category(), "F_DUPFD");
        }
    }
    ~LeakyDescriptors() {
        for (const int fd : {sockets_[0], sockets_[1], high_}) {
            ::close(fd);
        }
    }
    LeakyDescriptors(const LeakyDescriptors&) = delete;
    LeakyDescriptors& operator=(const LeakyDescriptors&) = delete;

    // The one far above the others.
    int high() const { return high_; }

    // Prints each of them that the shell running it holds.
    std::string probe() const {
        return "for fd in " + std::to_string(sockets_[0]) + " " + std::to_string(sockets_[1]) + " " +
               std::to_string(high_) + "; do [ -e /proc/$$/fd/$fd ] && echo $fd; done; ";
    }

private:
    int sockets_[2] = {-1, -1};
    int high_ = -1;
};

class GroupLeaderSpawnTest : public testing::TestWithParam<ChildCreation> {};

TEST_P(GroupLeaderSpawnTest, StartsTheProgramSetUpOrTellsWhyItCannot) {
    const LeakyDescriptors leaky;
    const ScriptRun started = runScript(
        leaky.probe() + "readlink /proc/$$/fd/0; [ $(cut -d' ' -f5 /proc/$$/stat) = $$ ] && echo leader; "
                        "pwd; exit 3",
        GetParam(), "/usr");
    ASSERT_TRUE(started.pid);
    EXPECT_EQ(started.errorAfterSpawn, callersError);
    EXPECT_EQ(started.output, "/dev/null\nleader\n/usr\n");
    EXPECT_TRUE(WIFEXITED(started.status) && WEXITSTATUS(started.status) == 3) << started.status;

    const ScriptRun noFolder = runScript("true", GetParam(), "/nonexistent");
    EXPECT_EQ(noFolder.pid, std::nullopt);
    EXPECT_EQ(noFolder.errorAfterSpawn, ENOENT);
    const ScriptRun noShell = runScript("true", GetParam(), "/", "/nonexistent/sh");
    EXPECT_EQ(noShell.pid, std::nullopt);
    EXPECT_EQ(noShell.errorAfterSpawn, ENOENT);
}

INSTANTIATE_TEST_SUITE_P(ByVforkAndByFork, GroupLeaderSpawnTest,
                         testing::Values(ChildCreation::vfork, ChildCreation::fork), [](const auto& info) {
                             return info.param == ChildCreation::vfork ? "vfork" : "fork";
                         });

// Lowers the soft limit on descriptors while it lives, leaving the hard one; a descriptor opened before
// stays open above it.
class LoweredDescriptorLimit {
public:
    explicit LoweredDescriptorLimit(rlim_t soft) {
        if (::getrlimit(RLIMIT_NOFILE, &previous_) != 0) {
            throw std::system_error(errno, std::generic_category(), "getrlimit");
        }
        rlimit lowered = previous_;
        lowered.rlim_cur = soft;
        if (::setrlimit(RLIMIT_NOFILE, &lowered) != 0) {
            throw std::system_error(errno, std::generic_category(), "setrlimit");
        }
    }
    ~LoweredDescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &previous_); }
    LoweredDescriptorLimit(const LoweredDescriptorLimit&) = delete;
    LoweredDescriptorLimit& operator=(const LoweredDescriptorLimit&) = delete;

private:
    rlimit previous_{};
};

TEST(GroupLeaderSpawn, PassesOnlyTheStandardDescriptorsWhereClosingARangeIsRefused) {
    const LeakyDescriptors leaky;
    struct Case {
        std::vector<long> refused;
        std::string script;
        std::string output;
        std::optional<rlim_t> softDescriptorLimit = std::nullopt;
    };
    const Case cases[] = {
        {{SYS_close_range}, "ls /proc/$$/fd; true", "0\n1\n2\n"},
        // No listing of the descriptors either: the shell cannot list its own, so it looks for the leaky
        // ones.
        {{SYS_close_range, SYS_getdents64}, leaky.probe() + "echo ran", "ran\n"},
        // The soft limit lowered since the high one was opened: the hard one bounds what can be open.
        {{SYS_close_range, SYS_getdents64},
         leaky.probe() + "echo ran",
         "ran\n",
         static_cast<rlim_t>(leaky.high())},
    };
    for (const Case& c : cases) {
        std::optional<LoweredDescriptorLimit> lowered;
        if (c.softDescriptorLimit) {
            lowered.emplace(*c.softDescriptorLimit);
        }
        const ScriptRun run =
            test::withSystemCallsRefused(c.refused, EPERM, [&] { return runScript(c.script); });
        EXPECT_TRUE(run.pid);
        EXPECT_EQ(run.output, c.output) << c.script;
        EXPECT_EQ(run.status, 0);
    }
}

} // namespace
} // namespace kestrava::process
