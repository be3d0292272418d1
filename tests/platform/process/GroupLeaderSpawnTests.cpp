#include "platform/process/GroupLeaderSpawn.hpp"
#include "platform/process/Pipe.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <optional>
#include <string>
#include <sys/prctl.h>
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

// Makes the calling thread's calls of `refused`, and those of every process it starts, fail with EPERM, as
// a container's seccomp profile written before them does. A filter binds one thread: other tests run on.
void refuseOnThisThread(const std::vector<long>& refused) {
    std::vector<sock_filter> program{BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
    for (const long call : refused) {
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<__u32>(call), 0, 1));
        program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM));
    }
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
    // What lets an ordinary user install a filter.
    ASSERT_EQ(::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0), 0);
    ASSERT_EQ(::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter), 0);
}

TEST(GroupLeaderSpawn, PassesOnlyTheStandardDescriptorsWhereClosingARangeIsRefused) {
    const LeakyDescriptors leaky;
    struct Case {
        std::vector<long> refused;
        std::string script;
        std::string output;
    };
    const Case cases[] = {
        {{SYS_close_range}, "ls /proc/$$/fd; true", "0\n1\n2\n"},
        // No listing of the descriptors either: the shell cannot list its own, so it looks for the leaky
        // ones.
        {{SYS_close_range, SYS_getdents64}, leaky.probe() + "echo ran", "ran\n"},
    };
    for (const Case& c : cases) {
        const ScriptRun run = std::async(std::launch::async, [&] {
                                  refuseOnThisThread(c.refused);
                                  return runScript(c.script);
                              }).get();
        EXPECT_TRUE(run.pid);
        EXPECT_EQ(run.output, c.output) << c.script;
        EXPECT_EQ(run.status, 0);
    }
}

} // namespace
} // namespace kestrava::process
