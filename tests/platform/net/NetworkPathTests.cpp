#include "platform/net/NetworkPath.hpp"
#include "tests/support/OwnNamespace.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

// What the monitor reported, in order.
class Reports {
public:
    void add(bool satisfied) {
        {
            const std::lock_guard held(lock_);
            seen_.push_back(satisfied);
        }
        changed_.notify_all();
    }
    // True once a report came.
    bool waitForAny() {
        std::unique_lock held(lock_);
        return changed_.wait_for(held, 10s, [&] { return !seen_.empty(); });
    }
    // True once the latest report is `satisfied`.
    bool waitForLatest(bool satisfied) {
        std::unique_lock held(lock_);
        return changed_.wait_for(held, 10s, [&] { return !seen_.empty() && seen_.back() == satisfied; });
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<bool> seen_;
};

// The machine's own interfaces, whatever they are: the monitor's first report comes at start, as a direct
// question would answer it.
TEST(NetworkPath, TheMachinesInterfacesAreReportedAtStart) {
    Reports reports;
    net::NetworkPathMonitor monitor([&](bool satisfied) { reports.add(satisfied); });
    monitor.start();
    ASSERT_TRUE(reports.waitForAny());
    EXPECT_TRUE(reports.waitForLatest(net::isNetworkPathSatisfied()));
}

TEST(NetworkPath, ALinkUpWithADefaultRouteSatisfiesIt) {
    const bool ran = test::inOwnNetwork([] {
        Reports reports;
        net::NetworkPathMonitor monitor([&](bool satisfied) { reports.add(satisfied); });
        monitor.start();
        EXPECT_TRUE(reports.waitForLatest(false)) << "the first report comes at once";
        EXPECT_FALSE(net::isNetworkPathSatisfied());

        ASSERT_TRUE(test::addVethPair());
        ASSERT_EQ(std::system("ip link set kv0 up"), 0);
        EXPECT_FALSE(net::isNetworkPathSatisfied()) << "up, but no default route";
        ASSERT_EQ(std::system("ip route add default via 10.77.0.1 dev kv0"), 0);
        EXPECT_TRUE(reports.waitForLatest(true));
        EXPECT_TRUE(net::isNetworkPathSatisfied());

        ASSERT_EQ(std::system("ip link set kv0 down"), 0);
        EXPECT_TRUE(reports.waitForLatest(false)) << "a link that is down carries nothing";
        ASSERT_EQ(std::system("ip link set kv0 up && ip -6 addr add fd77::2/64 dev kv0 nodad && "
                              "ip -6 route add default via fd77::1 dev kv0"),
                  0);
        EXPECT_TRUE(reports.waitForLatest(true)) << "an IPv6 default route counts too";
    });
    if (!ran) {
        GTEST_SKIP() << "a network namespace needs root";
    }
}

} // namespace
} // namespace kestrava
