#include "platform/host/ToolRunner.hpp"
#include "tests/support/RefusedSystemCalls.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kestrava::host {
namespace {

using namespace std::chrono_literals;

std::optional<std::string> shell(const std::string& script, std::chrono::milliseconds limit = 2000ms) {
    return runTool("/bin/sh", {"-c", script}, limit);
}

// The error with which opening a pidfd on the program fails: none, ENOSYS as on a kernel before 5.3, or
// EPERM as under a container's seccomp profile written before the call. Without a pidfd the runner has to
// learn of the exit otherwise.
class ToolRunnerTest : public testing::TestWithParam<int> {
protected:
    template<class Body>
    void run(Body body) {
        if (GetParam() == 0) {
            body();
        } else {
            test::withSystemCallsRefused({SYS_pidfd_open}, GetParam(), body);
        }
    }
};

INSTANTIATE_TEST_SUITE_P(ByPidfdOrWithout, ToolRunnerTest, testing::Values(0, ENOSYS, EPERM),
                         [](const auto& info) {
                             return info.param == 0        ? std::string("pidfd")
                                    : info.param == ENOSYS ? std::string("pidfdUnknown")
                                                           : std::string("pidfdRefused");
                         });

TEST_P(ToolRunnerTest, CapturesStandardOutputOfASuccessfulRun) {
    run([] {
        EXPECT_EQ(runTool("/bin/echo", {"a b", "c"}, 2000ms), "a b c\n");
        EXPECT_EQ(shell("echo out; echo err >&2"), "out\n");
        EXPECT_EQ(shell("true"), "");
        // More than a pipe holds is read while the program runs.
        EXPECT_EQ(shell("head -c 200000 /dev/zero").value_or("").size(), 200000u);
    });
}

TEST_P(ToolRunnerTest, GivesNothingForAFailedOrMissingProgram) {
    run([] {
        EXPECT_EQ(shell("echo ' sleep 1'; exit 1"), std::nullopt);
        EXPECT_EQ(shell("kill -KILL $$"), std::nullopt);
        EXPECT_EQ(runTool("/nonexistent/tool", {"-g"}, 2000ms), std::nullopt);
    });
}

// Whether a process of the group runs; a zombie, which only waits for its parent, does not count.
bool groupRuns(pid_t group) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const auto afterName = line.rfind(") ");
        if (afterName == std::string::npos) {
            continue;
        }
        std::istringstream fields(line.substr(afterName + 2));
        char state = 0;
        pid_t parent = 0;
        pid_t processGroup = 0;
        if (fields >> state >> parent >> processGroup && processGroup == group && state != 'Z') {
            return true;
        }
    }
    return false;
}

TEST_P(ToolRunnerTest, StopsAProgramThatOutlivesTheLimitWithEverythingItStarted) {
    run([] {
        EXPECT_EQ(shell("echo early; exec sleep 30", 200ms), std::nullopt);
        // One that ignores SIGTERM is killed after the grace second.
        EXPECT_EQ(shell("trap '' TERM; echo early; exec sleep 30", 200ms), std::nullopt);

        const test::TemporaryDirectory folder;
        const auto groupFile = folder / "group";
        EXPECT_EQ(shell("echo $$ > " + groupFile.string() + "; sleep 30 & sleep 30 & wait", 500ms),
                  std::nullopt);
        const pid_t group = std::stoi(test::fileText(groupFile));
        // The leader is reaped before the run ends, no zombie left.
        EXPECT_EQ(::waitpid(group, nullptr, WNOHANG), -1);
        // The signals are on their way when the run ends.
        for (int check = 0; check < 500 && groupRuns(group); ++check) {
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_FALSE(groupRuns(group));
        ::kill(-group, SIGKILL);
    });
}

TEST(ToolRunner, PassesNoDescriptorButTheStandardOnes) {
    const int leaky = ::open("/dev/null", O_RDONLY); // without close-on-exec
    ASSERT_GE(leaky, 0);
    const std::string path = "/proc/self/fd/" + std::to_string(leaky);
    EXPECT_EQ(shell("if [ -e " + path + " ]; then echo open; else echo closed; fi"), "closed\n");
    ::close(leaky);
}

} // namespace
} // namespace kestrava::host
