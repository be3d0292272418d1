#include "platform/dbus/SdBus.hpp"
#include "platform/host/GnomeIdleSuspend.hpp"
#include "platform/host/LogindIdleAction.hpp"
#include "tests/support/PrivateSessionBus.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace kestrava::host {
namespace {

constexpr std::uint64_t minute = 60'000'000;

// The login manager's two idle properties, served on the test's session bus from a thread of its own.
class FakeLoginManager {
public:
    FakeLoginManager(const char* action, std::uint64_t delay)
        : bus_(dbus::openSessionBus()), properties_{const_cast<char*>(action), delay} {
        sd_bus_add_object_vtable(bus_.get(), nullptr, "/org/freedesktop/login1",
                                 "org.freedesktop.login1.Manager", vtable, &properties_);
        sd_bus_request_name(bus_.get(), "org.freedesktop.login1", 0);
        serving_ = std::thread([this] {
            while (!stopping_) {
                if (sd_bus_process(bus_.get(), nullptr) == 0) {
                    sd_bus_wait(bus_.get(), 20'000);
                }
            }
        });
    }
    ~FakeLoginManager() {
        stopping_ = true;
        serving_.join();
    }

private:
    struct Properties {
        char* idleAction;
        std::uint64_t idleActionUSec;
    };
    static constexpr sd_bus_vtable vtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_PROPERTY("IdleAction", "s", nullptr, offsetof(Properties, idleAction),
                        SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("IdleActionUSec", "t", nullptr, offsetof(Properties, idleActionUSec),
                        SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_VTABLE_END};

    dbus::Bus bus_;
    Properties properties_;
    std::atomic<bool> stopping_ = false;
    std::thread serving_;
};

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
    const test::PrivateSessionBus bus;
    const FakeLoginManager manager(action, delay);
    const dbus::Bus client = dbus::openSessionBus();
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

// A stand-in for gsettings that prints the given values of the four keys.
std::filesystem::path fakeGsettings(const test::TemporaryDirectory& folder, const std::string& acType,
                                    const std::string& acTimeout, const std::string& batteryType,
                                    const std::string& batteryTimeout) {
    const auto tool = folder / "gsettings";
    test::writeText(tool, "#!/bin/sh\n"
                          "[ \"$1 $2\" = 'get org.gnome.settings-daemon.plugins.power' ] || exit 1\n"
                          "case \"$3\" in\n"
                          "sleep-inactive-ac-type) echo \"" +
                              acType + "\" ;;\nsleep-inactive-ac-timeout) echo \"" + acTimeout +
                              "\" ;;\nsleep-inactive-battery-type) echo \"" + batteryType +
                              "\" ;;\nsleep-inactive-battery-timeout) echo \"" + batteryTimeout +
                              "\" ;;\n*) exit 1 ;;\nesac\n");
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    return tool;
}

TEST(GnomeIdleSuspend, ReadsThePairOfTheCurrentPowerState) {
    test::TemporaryDirectory folder;
    auto tool = fakeGsettings(folder, "'nothing'", "1200", "'suspend'", "90");
    EXPECT_EQ(gnomeIdleSuspendMinutes(true, tool), 0);
    EXPECT_EQ(gnomeIdleSuspendMinutes(false, tool), 2);

    tool = fakeGsettings(folder, "'hibernate'", "1800", "'suspend'", "0");
    EXPECT_EQ(gnomeIdleSuspendMinutes(true, tool), 30);
    EXPECT_EQ(gnomeIdleSuspendMinutes(false, tool), 0);
}

TEST(GnomeIdleSuspend, IsUnknownWhenTheToolFailsOrPrintsSomethingElse) {
    test::TemporaryDirectory folder;
    EXPECT_EQ(gnomeIdleSuspendMinutes(true, folder / "missing"), -1);
    auto tool = fakeGsettings(folder, "suspend", "1200", "'suspend'", "-5");
    EXPECT_EQ(gnomeIdleSuspendMinutes(true, tool), -1);
    EXPECT_EQ(gnomeIdleSuspendMinutes(false, tool), -1);
    tool = fakeGsettings(folder, "'suspend'", "20min", "'blank'", "60");
    EXPECT_EQ(gnomeIdleSuspendMinutes(true, tool), -1);
    EXPECT_EQ(gnomeIdleSuspendMinutes(false, tool), 1);
}

} // namespace
} // namespace kestrava::host
