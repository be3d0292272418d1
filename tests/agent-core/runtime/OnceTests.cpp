#include "agent-core/runtime/Once.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace kestrava {
namespace {

TEST(Once, RunsItsFunctionOnceAcrossThreadsAndOutsideTheLock) {
    std::atomic<int> runs = 0;
    Once once([&] { ++runs; });
    std::vector<std::thread> racers;
    for (int thread = 0; thread < 8; ++thread) {
        racers.emplace_back([&] {
            for (int call = 0; call < 1000; ++call) {
                once.run();
            }
        });
    }
    for (auto& racer : racers) {
        racer.join();
    }
    EXPECT_EQ(runs, 1);

    // The function may call run() itself: the lock is no longer held then.
    std::shared_ptr<Once> reentrant;
    int nested = 0;
    reentrant = std::make_shared<Once>([&] {
        ++nested;
        reentrant->run();
    });
    reentrant->run();
    EXPECT_EQ(nested, 1);
}

} // namespace
} // namespace kestrava
