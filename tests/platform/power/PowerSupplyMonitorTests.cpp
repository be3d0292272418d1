#include "platform/power/PowerSupplyMonitor.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

TEST(PowerSupplyMonitor, ComesAndGoesOnAnEventLoopWithoutEvents) {
    boost::asio::io_context context;
    {
        const power::PowerSupplyMonitor monitor(context, [] {});
        context.poll();
    }
    // The wait left behind by the monitor completes without it.
    EXPECT_NO_THROW(context.poll());
}

} // namespace
} // namespace kestrava
