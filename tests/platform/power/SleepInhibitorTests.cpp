#include "platform/power/SleepInhibitor.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kestrava {
namespace {

TEST(SleepInhibitor, WithoutASystemBusNoLockIsTaken) {
    // A socket that does not exist stands for a machine without a system bus.
    const test::TemporaryDirectory folder;
    const std::string address = "unix:path=" + (folder / "no-bus").string();
    ASSERT_EQ(::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1), 0);
    EXPECT_EQ(power::inhibitSleep("idle"), std::nullopt);
    EXPECT_EQ(power::inhibitSleep("sleep"), std::nullopt);
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

} // namespace
} // namespace kestrava
