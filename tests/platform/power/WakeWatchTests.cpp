#include "platform/power/WakeWatch.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/LoginManagers.hpp"
#include "tests/support/PrivateSessionBus.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

// Polls until `done`; false after 10 s.
template<class Done>
bool within10s(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

TEST(WakeWatch, OnlyTheLoginManagersWakeCounts) {
    const test::PrivateSessionBus systemBus("DBUS_SYSTEM_BUS_ADDRESS");
    std::atomic<int> wakes = 0;
    power::WakeWatch watch([&] { ++wakes; });
    watch.start();
    test::FakeLoginManager login;
    // Told again until the watch has its match in place.
    ASSERT_TRUE(within10s([&] {
        login.prepareForSleep(false);
        return wakes > 0;
    }));
    std::this_thread::sleep_for(100ms);
    const int before = wakes;
    login.prepareForSleep(true);
    login.prepareForSleep(true);
    login.prepareForSleep(false);
    EXPECT_TRUE(within10s([&] { return wakes == before + 1; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(wakes, before + 1) << "going to sleep is not a wake";
}

TEST(WakeWatch, WithoutASystemBusItWatchesNothingAndStops) {
    const test::EnvironmentOverride nowhere("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    power::WakeWatch watch([] { ADD_FAILURE(); });
    watch.start();
}

} // namespace
} // namespace kestrava
