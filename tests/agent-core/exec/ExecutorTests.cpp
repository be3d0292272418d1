#include "agent-core/exec/Executor.hpp"
#include "agent-core/runtime/GlobalQueue.hpp"
#include "tests/support/CommandOutput.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <boost/asio/use_future.hpp>
#include <gtest/gtest.h>

#include <future>
#include <vector>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

const ExecResult cancelledEarly{std::nullopt, 0, false, false};

// Commands run in a fresh home folder, so no profile of the user's slows their login shell down.
class ExecutorTest : public testing::Test {
protected:
    test::TemporaryDirectory home;
    test::EnvironmentOverride homeVariable{"HOME", home.path().string()};

    std::future<ExecResult> run(const std::string& id, const std::string& cmd, test::CommandOutput& output,
                                std::int64_t timeoutSec = 20) {
        return executor->run(id, cmd, timeoutSec, output.handler(), boost::asio::use_future);
    }

    // Starts a command that prints "started" and then waits; returns once it has printed.
    std::future<ExecResult> runWaiting(const std::string& id, test::CommandOutput& output) {
        const auto started = output.whenPrinted("started");
        auto result = run(id, "echo started; sleep 30", output);
        started.wait();
        return result;
    }

    static ExecError::Kind refusal(std::future<ExecResult> result) {
        try {
            result.get();
        } catch (const ExecError& error) {
            return error.kind();
        }
        ADD_FAILURE() << "the command was not refused";
        return {};
    }

    const std::shared_ptr<Executor> executor =
        std::make_shared<Executor>(globalQueue().get_executor(), [] { return true; });
};

TEST_F(ExecutorTest, RunsACommandAndReportsItsResult) {
    test::CommandOutput output;
    const auto result = run("phone/1", "echo hello; echo oops >&2; exit 4", output).get();
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_FALSE(result.truncated);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(output.text("stdout"), "hello\n");
    EXPECT_EQ(output.text("stderr"), "oops\n");
}

TEST_F(ExecutorTest, TimeOutIsBroughtIntoRange) {
    test::CommandOutput output;
    const auto result = run("phone/1", "sleep 30", output, 0).get();
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.exitCode, std::nullopt);
}

TEST_F(ExecutorTest, CancelStopsARunningCommand) {
    test::CommandOutput output;
    auto running = runWaiting("phone/1", output);
    executor->cancel("phone/1");
    const auto result = running.get();
    EXPECT_EQ(result.exitCode, std::nullopt);
    EXPECT_FALSE(result.timedOut);

    // That cancel is spent: the same identifier runs again.
    test::CommandOutput again;
    EXPECT_EQ(run("phone/1", "echo again", again).get().exitCode, 0);
    EXPECT_EQ(again.text("stdout"), "again\n");
}

TEST_F(ExecutorTest, CancelBeforeTheCommandArrivesKeepsItFromRunning) {
    executor->cancel("phone/1");
    test::CommandOutput output;
    EXPECT_EQ(run("phone/1", "echo hello", output).get(), cancelledEarly);
    EXPECT_TRUE(output.chunks().empty());

    EXPECT_EQ(run("phone/1", "echo hello", output).get().exitCode, 0);
    EXPECT_EQ(output.text("stdout"), "hello\n");
}

TEST_F(ExecutorTest, CancelAllAtShutdownStopsEveryJobPromptly) {
    test::CommandOutput first;
    test::CommandOutput second;
    auto one = runWaiting("phone/1", first);
    auto two = runWaiting("phone/2", second);
    EXPECT_EQ(executor->cancelAll(boost::asio::use_future).wait_for(200ms), std::future_status::ready);
    for (auto* result : {&one, &two}) {
        const auto ended = result->get();
        EXPECT_EQ(ended.exitCode, std::nullopt);
        EXPECT_FALSE(ended.timedOut);
    }
}

TEST_F(ExecutorTest, RefusesAFifthJobAndARunningIdentifier) {
    std::vector<test::CommandOutput> outputs(5);
    std::vector<std::future<ExecResult>> running;
    for (int i = 0; i < 4; ++i) {
        running.push_back(runWaiting("phone/" + std::to_string(i), outputs[i]));
    }
    EXPECT_EQ(refusal(run("phone/0", "echo duplicate", outputs[4])), ExecError::Kind::duplicateId);
    EXPECT_EQ(refusal(run("phone/4", "echo fifth", outputs[4])), ExecError::Kind::busy);
    EXPECT_TRUE(outputs[4].chunks().empty());

    executor->cancel("phone/0");
    running[0].get();
    EXPECT_EQ(run("phone/4", "echo fifth", outputs[4]).get().exitCode, 0);
    for (int i = 1; i < 4; ++i) {
        executor->cancel("phone/" + std::to_string(i));
        running[i].get();
    }
}

TEST_F(ExecutorTest, CompletesAPlainFunctionOnThePool) {
    test::CommandOutput output;
    std::promise<std::optional<std::int32_t>> exitCode;
    executor->run("phone/1", "exit 7", 20, output.handler(),
                  [&](std::exception_ptr error, ExecResult result) {
                      exitCode.set_value(error ? std::nullopt : result.exitCode);
                  });
    EXPECT_EQ(exitCode.get_future().get(), 7);
}

} // namespace
} // namespace kestrava
