#include "agent-core/exec/ShellJob.hpp"
#include "platform/encoding/Utf8.hpp"
#include "platform/files/UserFolders.hpp"
#include "tests/support/CommandOutput.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/ReapedGroupSignals.hpp"
#include "tests/support/ServedAgent.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

constexpr std::int64_t mebibyte = 1048576;
const std::string replacement = "\xEF\xBF\xBD"; // U+FFFD

struct JobOptions {
    int timeoutSec = 20;
    std::int64_t maxOutput = mebibyte;
    std::chrono::milliseconds hintDelay = 5s;
    std::function<bool()> fdaProbe = [] { return true; };
};

std::shared_ptr<ShellJob> makeJob(std::string cmd, test::CommandOutput& output, JobOptions options = {}) {
    return std::make_shared<ShellJob>(std::move(cmd), options.timeoutSec, options.maxOutput, output.handler(),
                                      options.hintDelay, std::move(options.fdaProbe));
}

ExecResult runCommand(std::string cmd, test::CommandOutput& output, JobOptions options = {}) {
    return makeJob(std::move(cmd), output, std::move(options))->run();
}

// Running or stopped, not a zombie waiting for its parent.
bool isAlive(pid_t pid) {
    const auto statPath = std::filesystem::path("/proc") / std::to_string(pid) / "stat";
    if (!std::filesystem::exists(statPath)) {
        return false;
    }
    const std::string stat = test::fileText(statPath);
    const auto state = stat.find(") ");
    return state != std::string::npos && stat.at(state + 2) != 'Z';
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Commands run in a fresh home folder, so no profile of the user's slows their login shell down.
class ShellJobTest : public testing::Test {
protected:
    test::TemporaryDirectory home;
    test::EnvironmentOverride homeVariable{"HOME", home.path().string()};
};

TEST_F(ShellJobTest, RunsTheCommandInALoginShellLeadingItsOwnGroupInTheHomeFolder) {
    test::CommandOutput output;
    const auto result = runCommand(
        "echo \"$0\"; echo $$; cut -d' ' -f5 /proc/$$/stat; pwd -P; readlink /proc/$$/fd/0; cat", output);
    EXPECT_EQ(result.exitCode, 0);
    const auto lines = linesOf(output.text("stdout"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], ShellJob::shellPath());
    EXPECT_EQ(lines[1], lines[2]); // its process group is its own process id
    EXPECT_EQ(lines[3], std::filesystem::canonical(files::homeDirectory()).string());
    EXPECT_EQ(lines[4], "/dev/null"); // and cat found standard input at its end at once
    EXPECT_EQ(output.text("stderr"), "");
}

TEST_F(ShellJobTest, StreamsBothOutputsAndReportsHowTheShellEnded) {
    test::CommandOutput output;
    const auto result = runCommand("echo out; echo err >&2; echo more", output);
    EXPECT_EQ(result, (ExecResult{0, result.durationMs, false, false}));
    EXPECT_EQ(output.text("stdout"), "out\nmore\n");
    EXPECT_EQ(output.text("stderr"), "err\n");

    test::CommandOutput failing;
    EXPECT_EQ(runCommand("false", failing).exitCode, 1);
    EXPECT_EQ(runCommand("exit 255", failing).exitCode, 255);

    test::CommandOutput missing;
    EXPECT_EQ(runCommand("no-such-command-kestrava", missing).exitCode, 127);
    EXPECT_NE(missing.text("stderr").find("no-such-command-kestrava"), std::string::npos);

    test::CommandOutput killed;
    const auto signalled = runCommand("echo before; kill -KILL $$; echo after", killed);
    EXPECT_EQ(signalled.exitCode, std::nullopt);
    EXPECT_FALSE(signalled.timedOut);
    EXPECT_EQ(killed.text("stdout"), "before\n");
}

TEST_F(ShellJobTest, ShellThatCannotStartEndsWith127) {
    const test::EnvironmentOverride missingHome("HOME", (home / "missing").string());
    test::CommandOutput output;
    EXPECT_EQ(runCommand("echo hello", output), (ExecResult{127, 0, false, false}));
    EXPECT_TRUE(output.chunks().empty());
}

TEST_F(ShellJobTest, FailedWaitReportsNoExitCode) {
    // With SIGCHLD ignored the system reaps the shell itself and the job's wait fails.
    const auto previous = std::signal(SIGCHLD, SIG_IGN);
    test::CommandOutput output;
    const auto result = runCommand("echo hello; exit 0", output);
    std::signal(SIGCHLD, previous);
    EXPECT_EQ(result.exitCode, std::nullopt);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(output.text("stdout"), "hello\n");
}

TEST_F(ShellJobTest, OutputArrivesAsValidUtf8) {
    test::CommandOutput split;
    runCommand("printf '\\342\\202'; sleep 0.3; printf '\\254\\n'", split);
    EXPECT_EQ(split.chunksOf("stdout"), std::vector<std::string>{"€\n"});

    test::CommandOutput invalid;
    runCommand("printf 'a\\377b\\300\\n'; printf 'x\\342\\202' >&2", invalid);
    EXPECT_EQ(invalid.text("stdout"), "a" + replacement + "b" + replacement + "\n");
    // An incomplete character at the very end is one ill-formed piece.
    EXPECT_EQ(invalid.text("stderr"), "x" + replacement);
}

TEST_F(ShellJobTest, HoldsBackOnlyAnIncompleteLastCharacter) {
    EXPECT_EQ(ShellJob::completePrefixLength(""), 0u);
    EXPECT_EQ(ShellJob::completePrefixLength("abc"), 3u);
    EXPECT_EQ(ShellJob::completePrefixLength("a\xC3"), 1u);
    EXPECT_EQ(ShellJob::completePrefixLength("a\xC3\xA9"), 3u);
    EXPECT_EQ(ShellJob::completePrefixLength("a\xE2\x82"), 1u);
    EXPECT_EQ(ShellJob::completePrefixLength("\xE2\x82\xAC"), 3u);
    EXPECT_EQ(ShellJob::completePrefixLength("\xF0\x9F\x98"), 0u);
    EXPECT_EQ(ShellJob::completePrefixLength("a\xF0\x9F\x98\x80"), 5u);
    EXPECT_EQ(ShellJob::completePrefixLength("\x80\x80"), 2u);
    EXPECT_EQ(ShellJob::completePrefixLength("ab\x80\x80\x80"), 5u);
    // An invalid lead byte is held like a lead; it is repaired once more bytes or the end arrive.
    EXPECT_EQ(ShellJob::completePrefixLength("a\xFF"), 1u);
}

TEST_F(ShellJobTest, DeliversChunksOnCharacterBoundariesWithinTheCap) {
    test::CommandOutput output;
    const auto job = makeJob("true", output, {.maxOutput = 20000});
    job->deliver("stdout", std::string(17000, 'a'));
    EXPECT_EQ(output.chunks().size(), 3u);
    for (const auto& chunk : output.chunks()) {
        EXPECT_LE(chunk.text.size(), ShellJob::chunkLimit);
    }
    std::string euros;
    for (int i = 0; i < 1000; ++i) {
        euros += "€";
    }
    // 3,000 bytes are left: the last chunk stops before the character the cap would cut.
    job->deliver("stderr", "bb" + euros);
    EXPECT_EQ(output.text("stderr").size(), 2999u);
    EXPECT_TRUE(utf8::isValid(output.text("stderr")));
    job->deliver("stdout", "c");
    EXPECT_EQ(output.text("stdout").size(), 17000u);

    // A repaired byte counts as the three bytes of U+FFFD.
    test::CommandOutput small;
    const auto tiny = makeJob("true", small, {.maxOutput = 5});
    tiny->deliver("stdout", "\xFF\xFF");
    EXPECT_EQ(small.text("stdout"), replacement);
}

TEST_F(ShellJobTest, StopsDeliveringAtOneMebibyte) {
    test::CommandOutput ascii;
    const auto result = runCommand("yes | head -c 2097152", ascii);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.truncated);
    EXPECT_EQ(ascii.text("stdout").size(), static_cast<std::size_t>(mebibyte));

    // Three-byte characters that do not end on the cap, spread over both streams.
    test::CommandOutput wide;
    const auto both = runCommand("yes '€€€' | head -c 700000; yes 'é€' | head -c 700000 >&2", wide);
    EXPECT_TRUE(both.truncated);
    const std::size_t total = wide.text("stdout").size() + wide.text("stderr").size();
    EXPECT_LE(total, static_cast<std::size_t>(mebibyte));
    EXPECT_GT(total, static_cast<std::size_t>(mebibyte) - 4);
    for (const auto& chunk : wide.chunks()) {
        EXPECT_LE(chunk.text.size(), ShellJob::chunkLimit);
        EXPECT_TRUE(utf8::isValid(chunk.text));
    }

    test::CommandOutput under;
    EXPECT_FALSE(runCommand("head -c 100000 /dev/zero", under).truncated);
    EXPECT_EQ(under.text("stdout"), std::string(100000, '\0'));
}

TEST_F(ShellJobTest, TimeOutStopsTheCommandAndKillsOneThatIgnoresSigterm) {
    struct Case {
        const char* command;
        std::int64_t shortestMs;
        std::int64_t longestMs;
    };
    // One that outlives SIGTERM runs for the whole grace after the time-out; one that ends with it is
    // done long before that grace would pass, however busy the machine.
    for (const auto& [command, shortestMs, longestMs] :
         {Case{"sleep 30", 1000, 5000}, Case{"trap '' TERM; sleep 30", 6000, 30000}}) {
        SCOPED_TRACE(command);
        test::CommandOutput output;
        const auto result = runCommand(command, output, {.timeoutSec = 1});
        EXPECT_EQ(result.exitCode, std::nullopt);
        EXPECT_TRUE(result.timedOut);
        EXPECT_GE(result.durationMs, shortestMs);
        EXPECT_LT(result.durationMs, longestMs);
    }
}

TEST_F(ShellJobTest, BackgroundWriterIsCutOffAfterTheShellExits) {
    test::CommandOutput output;
    const auto result = runCommand("(while :; do echo x; sleep 0.05; done) & echo $!; exit 0", output);
    const std::size_t deliveredByTheResult = output.chunks().size();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(result.timedOut);
    // The writer may print before the shell prints its pid.
    const auto lines = linesOf(output.text("stdout"));
    const auto pid = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return !line.empty() &&
               std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; });
    });
    ASSERT_NE(pid, lines.end());
    // Killed with its group, or, when a busy machine delayed its next line past the readers' idle poll,
    // ended by that write into the closed pipe: gone either way, and nothing after the result reached us.
    const pid_t writer = std::stoi(*pid);
    EXPECT_TRUE(test::eventually([&] { return isAlive(writer); }, [](bool alive) { return !alive; }));
    EXPECT_EQ(output.chunks().size(), deliveredByTheResult);
}

TEST_F(ShellJobTest, SignalsItsGroupOnlyWhileItsShellIsUnreaped) {
    // Once the shell is reaped its id may name an unrelated group. Here the shell exits at once, what it
    // started in a session of its own holds the output until the job cuts it off, and the agent's
    // shutdown asks the job to stop all along.
    test::CommandOutput output;
    const auto printed = output.whenPrinted("y");
    const auto job = makeJob("setsid yes & exit 0", output);
    std::optional<ExecResult> result;
    const auto reapedGroupsSignalled = test::signalsToReapedGroups([&] {
        std::atomic<bool> ended{false};
        std::thread shutdown([&] {
            // On a busy machine the job may cut the output off before anything was printed.
            while (!ended.load() && printed.wait_for(5ms) != std::future_status::ready) {
            }
            while (!ended.load()) {
                job->terminate();
                std::this_thread::sleep_for(5ms);
            }
            job->terminate();
        });
        result = job->run();
        ended.store(true);
        shutdown.join();
    });
    if (!reapedGroupsSignalled) {
        GTEST_SKIP() << "this kernel cannot hold system calls for a watcher";
    }
    EXPECT_EQ(*reapedGroupsSignalled, 0);
    EXPECT_FALSE(result->timedOut);
}

TEST_F(ShellJobTest, SilentBackgroundProcessDoesNotHoldTheJob) {
    test::CommandOutput output;
    const auto result = runCommand("sleep 20 & echo $!; exit 3", output);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_FALSE(result.timedOut);
    const pid_t sleeper = std::stoi(output.text("stdout"));
    // It is left running.
    EXPECT_TRUE(isAlive(sleeper));
    ::kill(sleeper, SIGKILL);
}

TEST_F(ShellJobTest, SignalsTheGroupAtOnceWhenStoppedBeforeItsShellStarted) {
    test::CommandOutput terminatedOutput;
    const auto terminated = makeJob("sleep 30", terminatedOutput);
    terminated->terminate();
    const auto stopped = terminated->run();
    EXPECT_EQ(stopped.exitCode, std::nullopt);
    EXPECT_FALSE(stopped.timedOut);

    test::CommandOutput cancelledOutput;
    const auto cancelled = makeJob("sleep 30", cancelledOutput);
    cancelled->cancel();
    const auto result = cancelled->run();
    EXPECT_EQ(result.exitCode, std::nullopt);
    EXPECT_FALSE(result.timedOut);
}

TEST_F(ShellJobTest, CommandSeesOnlyTheStandardDescriptors) {
    // Descriptors the agent holds without close-on-exec, like its event loop's sockets.
    const int file = ::open("/dev/null", O_RDONLY);
    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    test::CommandOutput output;
    // "; true" keeps the shell alive, so ls lists the shell's descriptors, not its own.
    runCommand("ls /proc/$$/fd; true", output);
    EXPECT_EQ(output.text("stdout"), "0\n1\n2\n");
    ::close(file);
    ::close(sockets[0]);
    ::close(sockets[1]);
}

// The agent ignores SIGPIPE and its threads may block signals; a command must see neither. The shell
// passes on what it was given when it execs the last command.
TEST_F(ShellJobTest, CommandStartsWithNoSignalIgnoredOrBlocked) {
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    sigset_t blocked, unblocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &blocked, &unblocked);
    test::CommandOutput output;
    runCommand("exec grep -E '^Sig(Blk|Ign)' /proc/self/status", output);
    pthread_sigmask(SIG_SETMASK, &unblocked, nullptr);
    std::signal(SIGPIPE, previous);
    EXPECT_EQ(output.text("stdout"), "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n");
}

TEST_F(ShellJobTest, HintsAtFullDiskAccessAfterSilenceWithoutIt) {
    EXPECT_EQ(ShellJob::fullDiskAccessHint.size(), 92u);

    std::atomic<int> probes = 0;
    const auto withoutAccess = [&] {
        ++probes;
        return false;
    };
    test::CommandOutput silent;
    const auto result = runCommand("sleep 1.5", silent, {.hintDelay = 500ms, .fdaProbe = withoutAccess});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(silent.chunksOf("stderr"), std::vector<std::string>{std::string(ShellJob::fullDiskAccessHint)});
    EXPECT_EQ(probes, 1);

    test::CommandOutput granted;
    runCommand("sleep 1.5", granted, {.hintDelay = 500ms, .fdaProbe = [] { return true; }});
    EXPECT_TRUE(granted.chunks().empty());

    // The line, or the end, of these two comes long before the hint is considered, also when a busy
    // machine starts their shell slowly.
    test::CommandOutput talkative;
    runCommand("echo hi; sleep 4", talkative, {.hintDelay = 3s, .fdaProbe = withoutAccess});
    EXPECT_EQ(talkative.text("stderr"), "");

    probes = 0;
    test::CommandOutput quick;
    runCommand("true", quick, {.hintDelay = 3s, .fdaProbe = withoutAccess});
    EXPECT_TRUE(quick.chunks().empty());
    EXPECT_EQ(probes, 0);
}

} // namespace
} // namespace kestrava
