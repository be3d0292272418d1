#include "agent-core/exec/EarlyCancels.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

const Timestamp noon = std::chrono::sys_days{std::chrono::year{2026} / 1 / 31} + 12h;

struct ClockedCancels {
    Timestamp now = noon;
    EarlyCancels cancels{[this] { return now; }};
};

TEST(EarlyCancelsTest, ACancelCountsOnceForSixtySeconds) {
    ClockedCancels clocked;
    clocked.cancels.add("phone/1");
    clocked.now += 59s;
    EXPECT_TRUE(clocked.cancels.take("phone/1"));
    EXPECT_FALSE(clocked.cancels.take("phone/1"));
    EXPECT_FALSE(clocked.cancels.take("phone/2"));

    clocked.cancels.add("phone/3");
    clocked.now += 60s;
    EXPECT_FALSE(clocked.cancels.take("phone/3"));
}

TEST(EarlyCancelsTest, ASecondCancelRenewsTheTime) {
    ClockedCancels clocked;
    clocked.cancels.add("phone/1");
    clocked.now += 50s;
    clocked.cancels.add("phone/1");
    clocked.now += 50s;
    EXPECT_TRUE(clocked.cancels.take("phone/1"));
    EXPECT_FALSE(clocked.cancels.take("phone/1"));
}

} // namespace
} // namespace kestrava
