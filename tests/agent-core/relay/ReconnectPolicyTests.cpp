#include "agent-core/relay/ReconnectPolicy.hpp"
#include "tests/support/ScriptedRandom.hpp"

#include <gtest/gtest.h>

#include <chrono>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using test::scriptedDraws;
using test::stepDraw;
using test::topStep;

const Timestamp t0 = timestampFromSeconds(1'700'000'000);

// Without spread, so that every delay and text is exact.
ReconnectPolicy exactPolicy() {
    ReconnectPolicy policy;
    policy.backoff.jitter = 0;
    return policy;
}

std::string closeText(ReconnectPolicy& policy, std::optional<int> code, Timestamp now = t0) {
    return policy.onClose(std::nullopt, code, code ? "close " + std::to_string(*code) : "boom", now)
        .value()
        .text;
}

const std::string replaced = "REPLACED by the relay: another agent uses this identity (same deviceId/token); "
                             "holding reconnects at 30s, retry in 30.0s";

TEST(ReconnectPolicy, NormalClosesBackOffUntilAFirstMessageResetsTheCount) {
    ReconnectPolicy policy = exactPolicy();
    EXPECT_EQ(closeText(policy, 1006), "disconnected (close 1006); retry in 1.0s");
    EXPECT_EQ(closeText(policy, std::nullopt), "disconnected (boom); retry in 2.0s");
    EXPECT_EQ(closeText(policy, 1000), "disconnected (close 1000); retry in 4.0s");
    EXPECT_EQ(policy.onClose(503, std::nullopt, "HTTP 503", t0).value().delay, 8.0);
    policy.onOpen(t0);
    EXPECT_EQ(policy.connectedAt, t0);
    EXPECT_EQ(closeText(policy, 1006), "disconnected (close 1006); retry in 1.0s");
    EXPECT_EQ(policy.connectedAt, std::nullopt);
}

TEST(ReconnectPolicy, DelaysAreWrittenWithOneDecimal) {
    const std::pair<double, std::string> table[] = {{1.234, "1.2"}, {29.96, "30.0"}, {0.25, "0.2"},
                                                    {0.35, "0.3"},  {0.05, "0.1"},   {12.0, "12.0"}};
    for (const auto& [base, text] : table) {
        ReconnectPolicy policy = exactPolicy();
        policy.backoff.base = base;
        EXPECT_EQ(closeText(policy, 1006), "disconnected (close 1006); retry in " + text + "s") << base;
    }
    ReconnectPolicy spread;
    spread.backoff.random = scriptedDraws({stepDraw(topStep)});
    EXPECT_EQ(closeText(spread, 4000), "REPLACED by the relay: another agent uses this identity (same "
                                       "deviceId/token); holding reconnects at 30s, retry in 36.0s");
    spread.backoff.random = scriptedDraws({stepDraw(0)});
    EXPECT_EQ(closeText(spread, 4000).substr(replaced.size() - 5), "24.0s");
    spread.backoff.cap = 30.9;
    EXPECT_NE(closeText(spread, 4000).find("holding reconnects at 30s"), std::string::npos);
}

TEST(ReconnectPolicy, ReplacedHoldsAtTheCapUntilAConnectionLastsOverAMinute) {
    ReconnectPolicy policy = exactPolicy();
    closeText(policy, 1006);
    closeText(policy, 1006);
    EXPECT_EQ(closeText(policy, 4000), replaced);
    EXPECT_TRUE(policy.holdingAtCap);
    EXPECT_EQ(closeText(policy, 1006), "disconnected (close 1006); retry in 30.0s");
    EXPECT_EQ(policy.backoff.attempt, 2);

    policy.onOpen(t0);
    EXPECT_EQ(policy.backoff.attempt, 2); // frozen while holding
    EXPECT_EQ(closeText(policy, 1006, t0 + 60s), "disconnected (close 1006); retry in 30.0s");
    policy.onOpen(t0);
    EXPECT_EQ(closeText(policy, 1006, t0 + 60s + 1ns), "disconnected (close 1006); retry in 1.0s");
    EXPECT_FALSE(policy.holdingAtCap);

    // Replaced again after a long connection: released by the duration, held again by the code.
    closeText(policy, 4000);
    policy.onOpen(t0);
    EXPECT_EQ(closeText(policy, 4000, t0 + 90s), replaced);
    EXPECT_TRUE(policy.holdingAtCap);
    EXPECT_EQ(policy.backoff.attempt, 0);
}

TEST(ReconnectPolicy, RejectionsReturnNothingAndTouchOnlyTheConnectionTime) {
    ReconnectPolicy policy = exactPolicy();
    closeText(policy, 1006);
    policy.onOpen(t0);
    policy.backoff.attempt = 3;
    EXPECT_EQ(policy.onClose(401, std::nullopt, "HTTP 401", t0 + 10s), std::nullopt);
    EXPECT_EQ(policy.connectedAt, std::nullopt);
    EXPECT_EQ(policy.backoff.attempt, 3);
    EXPECT_EQ(policy.onClose(std::nullopt, 4002, "close 4002", t0), std::nullopt);
    EXPECT_EQ(policy.onClose(503, 4002, "HTTP 503", t0), std::nullopt);

    closeText(policy, 4000);
    policy.onOpen(t0);
    EXPECT_EQ(policy.onClose(401, std::nullopt, "HTTP 401", t0 + 61s), std::nullopt);
    EXPECT_FALSE(policy.holdingAtCap);
    EXPECT_EQ(policy.backoff.attempt, 0);
}

TEST(ReconnectPolicy, RemovedTextComesOnceThenAtMostEveryTenMinutes) {
    ReconnectPolicy policy = exactPolicy();
    policy.backoff.attempt = 2;
    const auto first = policy.onRemoved(t0);
    EXPECT_EQ(first.delay, 30.0);
    EXPECT_EQ(first.text,
              "removed by relay: this device is no longer registered there; paired phones are kept, "
              "retrying every 30s");
    EXPECT_EQ(policy.onRemoved(t0 + 599s).text, std::nullopt);
    EXPECT_EQ(policy.onRemoved(t0 + 600s).text, "still removed by relay; retrying every 30s");
    EXPECT_EQ(policy.onRemoved(t0 + 1199s).text, std::nullopt);
    EXPECT_EQ(policy.onRemoved(t0 + 1200s).text, "still removed by relay; retrying every 30s");
    EXPECT_EQ(policy.backoff.attempt, 2);
    EXPECT_FALSE(policy.holdingAtCap);

    policy.onOpen(t0 + 1300s);
    EXPECT_EQ(policy.onRemoved(t0 + 1301s).text.value().substr(0, 17), "removed by relay:");
}

TEST(ReconnectPolicy, ManualReconnectReleasesHoldingOnlyAfterALongConnection) {
    ReconnectPolicy normal = exactPolicy();
    normal.backoff.attempt = 4;
    normal.onOpen(t0);
    normal.backoff.attempt = 4;
    normal.resetForManualReconnect(t0 + 1s);
    EXPECT_EQ(normal.backoff.attempt, 0);
    EXPECT_EQ(normal.connectedAt, std::nullopt);

    ReconnectPolicy holding = exactPolicy();
    holding.backoff.attempt = 4;
    closeText(holding, 4000);
    holding.onOpen(t0);
    holding.resetForManualReconnect(t0 + 30s);
    EXPECT_TRUE(holding.holdingAtCap);
    EXPECT_EQ(holding.backoff.attempt, 4);
    EXPECT_EQ(holding.connectedAt, std::nullopt);
    holding.resetForManualReconnect(t0 + 61s); // no connection time any more: still holding
    EXPECT_TRUE(holding.holdingAtCap);

    holding.onOpen(t0);
    holding.resetForManualReconnect(t0 + 61s);
    EXPECT_FALSE(holding.holdingAtCap);
    EXPECT_EQ(holding.backoff.attempt, 0);
    EXPECT_EQ(holding.connectedAt, std::nullopt);
}

} // namespace
} // namespace kestrava
