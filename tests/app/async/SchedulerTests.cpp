#include "app/async/QtScheduler.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/VirtualScheduler.hpp"

#include <gtest/gtest.h>

#include <thread>

namespace kestrava {
namespace {

// A reading thread may hand work to a scheduler after the application's loop and its scheduler are gone:
// while the scheduler lives the work runs on its thread; afterwards it is dropped.
TEST(Scheduler, APosterOutlivesItsScheduler) {
    test::ensureQtApplication();
    int ran = 0;
    app::Scheduler::Post qtPost;
    {
        app::QtScheduler scheduler;
        qtPost = scheduler.poster();
        std::thread([&] { qtPost([&] { ++ran; }); }).join();
        EXPECT_TRUE(test::runQtUntil([&] { return ran == 1; }));
    }
    app::Scheduler::Post virtualPost;
    {
        test::VirtualScheduler scheduler;
        virtualPost = scheduler.poster();
        virtualPost([&] { ++ran; });
        scheduler.runPosted();
        EXPECT_EQ(ran, 2);
    }
    std::thread([&] {
        qtPost([&] { ++ran; });
        virtualPost([&] { ++ran; });
    }).join();
    test::runQtUntil([] { return false; }, {}, std::chrono::milliseconds(50));
    EXPECT_EQ(ran, 2);
}

} // namespace
} // namespace kestrava
