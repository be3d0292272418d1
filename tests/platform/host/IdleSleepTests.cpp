#include "platform/dbus/SdBus.hpp"
#include "platform/host/GnomeIdleSuspend.hpp"
#include "platform/host/LogindIdleAction.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/LoginManagers.hpp"
#include "tests/support/PrivateSessionBus.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace kestrava::host {
namespace {

constexpr std::uint64_t minute = 60'000'000;

TEST(LogindIdleAction, MapsTheActionAndDelayToMinutes) {
    EXPECT_EQ(idleActionMinutes("suspend", 30 * minute), 30);
    EXPECT_EQ(idleActionMinutes("hibernate", 90'000'000), 2);
    EXPECT_EQ(idleActionMinutes("poweroff", 1), 1);
    EXPECT_EQ(idleActionMinutes("suspend", 0), 0);
    EXPECT_EQ(idleActionMinutes("suspend", UINT64_MAX), 0);
    EXPECT_EQ(idleActionMinutes("ignore", 30 * minute), 0);
    EXPECT_EQ(idleActionMinutes("lock", 30 * minute), 0);
}

std::int64_t minutesServedAs(const char* action, std::uint64_t delay) {
    const test::PrivateSessionBus bus("DBUS_SYSTEM_BUS_ADDRESS");
    const test::IdleLoginManager manager(action, delay);
    const dbus::Bus client = dbus::openSystemBus();
    return logindIdleSleepMinutes(client.get());
}

TEST(LogindIdleAction, AsksTheLoginManagerOnTheBus) {
    EXPECT_EQ(minutesServedAs("suspend", 30 * minute), 30);
    EXPECT_EQ(minutesServedAs("ignore", 30 * minute), 0);

    const test::PrivateSessionBus bus;
    const dbus::Bus client = dbus::openSessionBus();
    EXPECT_EQ(logindIdleSleepMinutes(client.get()), -1); // no login manager on this bus
    EXPECT_EQ(logindIdleSleepMinutes(nullptr), -1);

    // A socket that does not exist stands for a machine without a system bus.
    const test::TemporaryDirectory folder;
    ASSERT_EQ(::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (folder / "no-bus").string()).c_str(), 1),
              0);
    EXPECT_EQ(logindIdleSleepMinutes(), -1);
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

TEST(LogindIdleAction, GivesUpOnAManagerThatDoesNotAnswer) {
    const test::PrivateSessionBus bus;
    const dbus::Bus silent = dbus::openSessionBus();
    ASSERT_GE(sd_bus_request_name(silent.get(), "org.freedesktop.login1", 0), 0);
    const dbus::Bus client = dbus::openSessionBus();
    EXPECT_EQ(logindIdleSleepMinutes(client.get()), -1);
}

// What gsettings list-recursively prints for the power schema, with the four keys' values.
std::string powerListing(const std::string& acType, const std::string& acTimeout,
                         const std::string& batteryType, const std::string& batteryTimeout) {
    const std::string schema = "org.gnome.settings-daemon.plugins.power ";
    return schema + "idle-dim true\n" + schema + "sleep-inactive-ac-timeout " + acTimeout + "\n" + schema +
           "sleep-inactive-ac-type " + acType + "\n" + schema + "sleep-inactive-battery-timeout " +
           batteryTimeout + "\n" + schema + "sleep-inactive-battery-type " + batteryType + "\n";
}

TEST(GnomeIdleSuspend, ReadsThePairOfTheCurrentPowerState) {
    struct Row {
        std::string listing;
        std::int64_t onAC;
        std::int64_t onBattery;
    };
    const Row rows[] = {
        {powerListing("'nothing'", "1200", "'suspend'", "90"), 0, 2},
        {powerListing("'hibernate'", "1800", "'suspend'", "0"), 30, 0},
        // Not the printed form of the values: unknown.
        {powerListing("suspend", "1200", "'suspend'", "-5"), -1, -1},
        {powerListing("'suspend'", "20min", "'blank'", "60"), -1, 1},
        // Another schema's keys, or a key missing, say nothing about this one.
        {"org.gnome.desktop.session sleep-inactive-ac-type 'nothing'\n", -1, -1},
        {"org.gnome.settings-daemon.plugins.power sleep-inactive-ac-type 'suspend'\r\n", -1, -1},
        {"", -1, -1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(gnomeIdleSuspendMinutes(row.listing, true), row.onAC) << row.listing;
        EXPECT_EQ(gnomeIdleSuspendMinutes(row.listing, false), row.onBattery) << row.listing;
    }
}

TEST(GnomeIdleSuspend, FindsThePowerSchemaWhereGSettingsLooks) {
    const test::TemporaryDirectory folder;
    const test::EnvironmentOverride dataHome("XDG_DATA_HOME", (folder / "home").string());
    const test::EnvironmentOverride dataDirs("XDG_DATA_DIRS", (folder / "system").string());
    const test::EnvironmentOverride schemaDir("GSETTINGS_SCHEMA_DIR", (folder / "own").string());
    EXPECT_FALSE(gnomePowerSettingsInstalled());
    for (const char* place : {"own", "home/glib-2.0/schemas", "system/glib-2.0/schemas"}) {
        const auto schemas = folder / place;
        std::filesystem::create_directories(schemas);
        test::writeText(schemas / "org.gnome.settings-daemon.plugins.power.gschema.xml", "");
        EXPECT_TRUE(gnomePowerSettingsInstalled()) << place;
        std::filesystem::remove_all(schemas);
    }
    std::filesystem::create_directories(folder / "own");
    test::writeText(folder / "own" / "org.gnome.desktop.session.gschema.xml", "");
    EXPECT_FALSE(gnomePowerSettingsInstalled());
}

} // namespace
} // namespace kestrava::host
