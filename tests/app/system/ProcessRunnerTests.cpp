#include "app/system/ProcessRunner.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using app::ProcessResult;
using Clock = std::chrono::steady_clock;

struct Ending {
    ProcessResult result;
    Clock::duration took;
};

// Runs `program` to its end in the interface thread's event loop, which the run must never block: one
// that `runsAWhile` has not ended when the call returns. (A quick one may have.)
Ending runToEnd(const std::string& program, std::vector<std::string> arguments,
                std::chrono::milliseconds timeout, bool runsAWhile = false) {
    const auto start = Clock::now();
    const test::Started<ProcessResult> started(app::runProcess(program, std::move(arguments), timeout));
    if (runsAWhile) {
        EXPECT_FALSE(started.done());
    }
    if (!test::runQtUntil([&] { return started.done(); })) {
        ADD_FAILURE() << "no result";
        return {};
    }
    return {started.result(), Clock::now() - start};
}

Ending runScript(const std::string& script, std::chrono::milliseconds timeout = 10s,
                 bool runsAWhile = false) {
    return runToEnd("/bin/sh", {"-c", script}, timeout, runsAWhile);
}

TEST(ProcessRunner, EndingsOfAProgram) {
    const std::vector<std::pair<std::string, ProcessResult>> table{
        {"true", {0, ""}},
        {"printf one; printf two >&2; printf three; exit 3", {3, "onetwothree"}},
        {"printf '\\377ok\\n'", {0, "\uFFFDok\n"}},
        {"printf lost; kill -9 $$", {std::nullopt, "lost"}},
    };
    for (const auto& [script, expected] : table) {
        EXPECT_EQ(runScript(script).result, expected) << script;
    }
    EXPECT_EQ(runToEnd("/nonexistent/program", {}, 10s).result, ProcessResult{});
}

// More than a pipe holds, written before the program exits, arrives whole.
TEST(ProcessRunner, LargeOutput) {
    const Ending ending = runScript("head -c 1048576 /dev/zero | tr '\\000' x");
    EXPECT_EQ(ending.result.exitStatus, 0);
    EXPECT_EQ(ending.result.output, std::string(1 << 20, 'x'));
}

// A program past its time-out is ended by SIGTERM, or a second later by SIGKILL when it ignores SIGTERM.
TEST(ProcessRunner, TimeOut) {
    const struct {
        std::string script;
        Clock::duration atLeast;
        Clock::duration atMost;
    } table[]{
        {"echo waiting; exec sleep 30", 300ms, 1s},
        {"trap '' TERM; echo waiting; exec sleep 30", 1300ms, 2500ms},
    };
    for (const auto& [script, atLeast, atMost] : table) {
        const Ending ending = runScript(script, 300ms, true);
        EXPECT_EQ(ending.result, (ProcessResult{std::nullopt, "", true})) << script;
        EXPECT_GE(ending.took, atLeast) << script;
        EXPECT_LE(ending.took, atMost) << script;
    }
}

} // namespace
} // namespace kestrava
