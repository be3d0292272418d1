#include "platform/host/ToolRunner.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace kestrava::host {
namespace {

using namespace std::chrono_literals;

std::optional<std::string> shell(const std::string& script, std::chrono::milliseconds limit = 2000ms) {
    return runTool("/bin/sh", {"-c", script}, limit);
}

TEST(ToolRunner, CapturesStandardOutputOfASuccessfulRun) {
    EXPECT_EQ(runTool("/bin/echo", {"a b", "c"}, 2000ms), "a b c\n");
    EXPECT_EQ(shell("echo out; echo err >&2"), "out\n");
    EXPECT_EQ(shell("true"), "");
    // More than a pipe holds is read while the program runs.
    EXPECT_EQ(shell("head -c 200000 /dev/zero")->size(), 200000u);
}

TEST(ToolRunner, GivesNothingForAFailedOrMissingProgram) {
    EXPECT_EQ(shell("echo ' sleep 1'; exit 1"), std::nullopt);
    EXPECT_EQ(shell("kill -KILL $$"), std::nullopt);
    EXPECT_EQ(runTool("/nonexistent/tool", {"-g"}, 2000ms), std::nullopt);
}

TEST(ToolRunner, StopsAProgramThatOutlivesTheLimit) {
    EXPECT_EQ(shell("echo early; exec sleep 30", 200ms), std::nullopt);
    // One that ignores SIGTERM is killed after the grace second.
    EXPECT_EQ(shell("trap '' TERM; echo early; exec sleep 30", 200ms), std::nullopt);
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
