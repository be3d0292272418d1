#include "protocol-kit/MemoryNonceStore.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>
#include <vector>

namespace kestrava {
namespace {

TEST(MemoryNonceStore, ForgetsANonceSixHundredSecondsAfterItsFirstUse) {
    using std::chrono::milliseconds;
    const Timestamp t = timestampFromSeconds(1'700'000'000);
    MemoryNonceStore store;
    EXPECT_TRUE(store.checkAndRecord("n", t));
    EXPECT_FALSE(store.checkAndRecord("n", t + milliseconds(300'000)));
    EXPECT_FALSE(store.checkAndRecord("n", t + milliseconds(599'900)));
    EXPECT_FALSE(store.checkAndRecord("n", t - milliseconds(100'000)));
    EXPECT_TRUE(store.checkAndRecord("n", t + MemoryNonceStore::window));
    EXPECT_FALSE(store.checkAndRecord("n", t + MemoryNonceStore::window + milliseconds(1)));

    // An entry dated after the caller's clock is kept, however far ahead.
    EXPECT_TRUE(store.checkAndRecord("future", t + milliseconds(10'000'000)));
    EXPECT_FALSE(store.checkAndRecord("future", t + MemoryNonceStore::window * 2));
}

// Dates at the ends of what a timestamp holds, as a damaged clock may give them: an age taken across them
// would overflow, keeping an ancient nonce for ever or forgetting a future one at once.
TEST(MemoryNonceStore, DatesAtTheEndsOfTimeCompareWithoutOverflow) {
    const Timestamp ancient = timestampFromSeconds(-9'214'560'000); // 1678-01-01
    const Timestamp late = timestampFromSeconds(9'223'286'400);     // 2262-04-11
    const Timestamp t = timestampFromSeconds(1'700'000'000);
    MemoryNonceStore store;
    EXPECT_TRUE(store.checkAndRecord("ancient", ancient));
    EXPECT_TRUE(store.checkAndRecord("late", late));
    EXPECT_FALSE(store.checkAndRecord("late", ancient));
    EXPECT_TRUE(store.checkAndRecord("ancient", t));
    EXPECT_FALSE(store.checkAndRecord("late", t));
}

TEST(MemoryNonceStore, ConcurrentCallersWithOneNonceGetExactlyOneTrue) {
    MemoryNonceStore store;
    const Timestamp t = wallClockNow();
    std::atomic<int> fresh = 0;
    std::latch start(16);
    std::vector<std::jthread> callers;
    for (int i = 0; i < 16; ++i) {
        callers.emplace_back([&] {
            start.arrive_and_wait();
            fresh += store.checkAndRecord("shared", t) ? 1 : 0;
        });
    }
    callers.clear();
    EXPECT_EQ(fresh, 1);
}

} // namespace
} // namespace kestrava
