#include "agent-core/relay/Backoff.hpp"
#include "tests/support/ScriptedRandom.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace kestrava {
namespace {

using test::middleStep;
using test::scriptedDraws;
using test::stepDraw;
using test::topStep;

Backoff backoffDrawing(std::vector<std::uint64_t> draws, double jitter = 0.2) {
    Backoff backoff;
    backoff.jitter = jitter;
    backoff.random = scriptedDraws(std::move(draws));
    return backoff;
}

TEST(Backoff, SpreadCoversTheClosedRangeExactly) {
    EXPECT_EQ(backoffDrawing({stepDraw(0)}).spreadFactor(), 1.0 - 0.2);
    EXPECT_EQ(backoffDrawing({stepDraw(topStep)}).spreadFactor(), 1.0 + 0.2);
    EXPECT_EQ(backoffDrawing({stepDraw(middleStep)}).spreadFactor(), 1.0);
    EXPECT_EQ(backoffDrawing({stepDraw(topStep)}, 0.5).spreadFactor(), 1.5);
    EXPECT_EQ(backoffDrawing({stepDraw(topStep)}, 0.0).spreadFactor(), 1.0);
    // One step above the bottom is the smallest possible move.
    EXPECT_EQ(backoffDrawing({stepDraw(1)}).spreadFactor(), 0.8 + 0.4 * std::ldexp(1.0, -53));
    EXPECT_LE(backoffDrawing({~std::uint64_t{0}}).spreadFactor(), 1.2);
}

TEST(Backoff, DrawsThatWouldBiasTheSpreadAreDrawnAgain) {
    // 2^64 mod (2^53 + 1) = 2^53 - 2047: the draws below it are refused.
    constexpr std::uint64_t firstFair = topStep - 2047;
    auto calls = std::make_shared<std::size_t>(0);
    Backoff backoff;
    backoff.random = scriptedDraws({0, firstFair - 1, firstFair}, calls);
    // firstFair itself is step firstFair.
    EXPECT_EQ(backoff.spreadFactor(), 1.0 + 0.2 * (std::ldexp(static_cast<double>(firstFair), -52) - 1.0));
    EXPECT_EQ(*calls, 3u);
}

TEST(Backoff, DelaysDoubleUpToTheCapAndTheExponentStopsAt16) {
    Backoff backoff = backoffDrawing({stepDraw(0)}, 0.0);
    for (const double expected : {1.0, 2.0, 4.0, 8.0, 16.0, 30.0, 30.0}) {
        EXPECT_EQ(backoff.nextDelay(), expected);
    }
    EXPECT_EQ(backoff.attempt, 7);
    backoff.attempt = 1000;
    EXPECT_EQ(backoff.nextDelay(), 30.0);

    Backoff tiny = backoffDrawing({stepDraw(0)}, 0.0);
    tiny.base = 1.0 / 1024;
    tiny.cap = 1e9;
    for (int call = 0; call < 16; ++call) {
        tiny.nextDelay();
    }
    EXPECT_EQ(tiny.nextDelay(), 64.0);
    EXPECT_EQ(tiny.nextDelay(), 64.0);
}

TEST(Backoff, SpreadDelaysStayWithinTwentyPercent) {
    Backoff low = backoffDrawing({stepDraw(0)});
    Backoff high = backoffDrawing({stepDraw(topStep)});
    for (const double raw : {1.0, 2.0, 4.0, 8.0, 16.0, 30.0}) {
        EXPECT_EQ(low.nextDelay(), raw * 0.8);
        EXPECT_EQ(high.nextDelay(), raw * (1.0 + 0.2));
    }
    EXPECT_EQ(low.capDelay(), 24.0);
    EXPECT_EQ(high.capDelay(), 36.0);
    EXPECT_EQ(high.attempt, 6);

    Backoff secure;
    std::set<double> seen;
    for (int call = 0; call < 200; ++call) {
        const double delay = secure.capDelay();
        EXPECT_GE(delay, 24.0);
        EXPECT_LE(delay, 36.0);
        seen.insert(delay);
    }
    EXPECT_EQ(secure.attempt, 0);
    EXPECT_GT(seen.size(), 190u);
}

} // namespace
} // namespace kestrava
