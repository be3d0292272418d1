#include "platform/power/PowerSupplyMonitor.hpp"
#include "tests/support/PowerSupplyTree.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

TEST(PowerSupplyMonitor, ComesAndGoesOnAnEventLoopWithoutEvents) {
    boost::asio::io_context context;
    {
        const power::PowerSupplyMonitor monitor(context, [] {});
        context.poll();
    }
    // The wait left behind by the monitor completes without it.
    EXPECT_NO_THROW(context.poll());
}

// A folder laid out as the kernel's tree: a supply's files written, a supply added and one removed are each
// noticed once; a folder that is not there gives no notice and no failure.
TEST(PowerSupplyMonitor, WatchesAFolderOfSupplies) {
    test::PowerSupplyTree tree;
    tree.add("AC", {{"type", "Mains"}, {"online", "1"}});
    boost::asio::io_context context;
    int changes = 0;
    const power::PowerSupplyMonitor monitor(
        context, [&] { ++changes; }, tree.path());
    const auto notices = [&] {
        changes = 0;
        context.run_one_for(10s);
        context.poll();
        return changes;
    };

    tree.add("AC", {{"type", "Mains"}, {"online", "0"}});
    EXPECT_EQ(notices(), 1) << "unplugged, two files written";
    tree.add("BAT0", {{"type", "Battery"}});
    EXPECT_EQ(notices(), 1) << "a battery came";
    std::filesystem::remove_all(tree.path() / "BAT0");
    EXPECT_EQ(notices(), 1) << "and went";

    const power::PowerSupplyMonitor nowhere(
        context, [] { ADD_FAILURE(); }, tree.path() / "missing");
    EXPECT_NO_THROW(context.poll());
}

} // namespace
} // namespace kestrava
