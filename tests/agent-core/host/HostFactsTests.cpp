#include "agent-core/host/HostFacts.hpp"
#include "agent-core/runtime/AgentVersion.hpp"
#include "platform/dbus/SdBus.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/LoginManagers.hpp"
#include "tests/support/PrivateSessionBus.hpp"
#include "tests/support/StandInPrograms.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <limits>
#include <optional>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

class FixedPowerSource : public PowerSource {
public:
    FixedPowerSource(bool onAC, bool laptop) : onAC_(onAC), laptop_(laptop) {}
    bool onACPower() const override { return onAC_; }
    bool isLaptop() const override { return laptop_; }

private:
    bool onAC_;
    bool laptop_;
};

TEST(PmsetSleepOutput, TakesTheFirstSleepLineWithANumber) {
    EXPECT_EQ(parsePmsetSleepOutput("Power settings:\n displaysleep 10\n disksleep 10\n"
                                    " sleep                1 (held by a process)\n"),
              1);
    EXPECT_EQ(parsePmsetSleepOutput(" sleep 0\n"), 0);
    EXPECT_EQ(parsePmsetSleepOutput("sleep\nsleep abc\n sleep 5\n sleep 6\n"), 5);
    EXPECT_EQ(parsePmsetSleepOutput("sleep\t\t10"), 10);
    EXPECT_EQ(parsePmsetSleepOutput("sleep +7"), 7);
    EXPECT_EQ(parsePmsetSleepOutput("sleep -3"), -3);
    EXPECT_EQ(parsePmsetSleepOutput("sleep 10min\nsleep 4"), 4);
    EXPECT_EQ(parsePmsetSleepOutput("sleep -9223372036854775808"), std::numeric_limits<std::int64_t>::min());
}

TEST(PmsetSleepOutput, IsUnknownWithoutAUsableSleepLine) {
    EXPECT_EQ(parsePmsetSleepOutput(""), -1);
    EXPECT_EQ(parsePmsetSleepOutput("\n\r\n  \n"), -1);
    EXPECT_EQ(parsePmsetSleepOutput("Sleep 5\nSLEEP 5\n displaysleep 10\nsleeping 3"), -1);
    EXPECT_EQ(parsePmsetSleepOutput("sleep 10min\nsleep +-1\nsleep -\nsleep 0x10\nsleep \xEF\xBC\x95"), -1);
    EXPECT_EQ(parsePmsetSleepOutput("sleep 9223372036854775808"), -1);
    EXPECT_EQ(parsePmsetSleepOutput("sleep\xC2\xA0"
                                    "5"),
              -1); // no-break space is not a separator
}

TEST(PmsetSleepOutput, BreaksLinesAtEveryLineBreakCharacter) {
    for (const std::string lineBreak :
         {"\n", "\r", "\r\n", "\v", "\f", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"}) {
        EXPECT_EQ(parsePmsetSleepOutput("sleep x" + lineBreak + "sleep 8" + lineBreak), 8) << lineBreak;
        EXPECT_EQ(parsePmsetSleepOutput("disksleep" + lineBreak + "sleep 8"), 8) << lineBreak;
    }
}

TEST(SleepTimer, CombinesTheShorterTimerThatFires) {
    EXPECT_EQ(combineSleepTimers(30, 15), 15);
    EXPECT_EQ(combineSleepTimers(0, 20), 20);
    EXPECT_EQ(combineSleepTimers(20, -1), 20);
    EXPECT_EQ(combineSleepTimers(0, 0), 0);
    // "Never" from one side alone is no proof.
    EXPECT_EQ(combineSleepTimers(0, -1), -1);
    EXPECT_EQ(combineSleepTimers(-1, 0), -1);
    EXPECT_EQ(combineSleepTimers(-1, -1), -1);
}

TEST(SleepTimer, IsSafeWhenHeldAwakeOrTheTimerSaysNever) {
    EXPECT_TRUE(isSleepSafe(false, 0));
    EXPECT_TRUE(isSleepSafe(true, -1));
    EXPECT_FALSE(isSleepSafe(false, -1));
    EXPECT_FALSE(isSleepSafe(false, 15));
}

TEST(HostFacts, BootTimeIsStableAndUptimeNeverNegative) {
    EXPECT_EQ(readBootTime(), readBootTime());
    const Timestamp boot = timestampFromSeconds(1000);
    EXPECT_EQ(uptimeSeconds(boot, boot + 1999ms), 1);
    EXPECT_EQ(uptimeSeconds(boot, boot), 0);
    EXPECT_EQ(uptimeSeconds(boot, boot - 1h), 0);
}

TEST(HostFacts, FullDiskAccessIsAReadableHomeFolder) {
    test::TemporaryDirectory folder;
    {
        const test::EnvironmentOverride home("HOME", folder.path().string());
        EXPECT_TRUE(hasFullDiskAccess());
    }
    {
        const test::EnvironmentOverride home("HOME", (folder / "missing").string());
        EXPECT_FALSE(hasFullDiskAccess());
    }
    test::writeText(folder / "file", "");
    {
        const test::EnvironmentOverride home("HOME", (folder / "file").string());
        EXPECT_FALSE(hasFullDiskAccess());
    }
}

TEST(HostFacts, SnapshotCarriesEveryFact) {
    const FixedPowerSource laptopOnBattery(false, true);
    const StatusSnapshot held = makeStatusSnapshot(true, laptopOnBattery);
    EXPECT_GE(held.uptimeSec, 0);
    EXPECT_EQ(held.bootTime, readBootTime());
    EXPECT_GE(held.freeMemPct, 0);
    EXPECT_LE(held.freeMemPct, 100);
    EXPECT_GE(held.pmsetSleep, -1);
    EXPECT_TRUE(held.sleepSafe);
    EXPECT_FALSE(held.onACPower);
    EXPECT_TRUE(held.isLaptop);
    EXPECT_TRUE(held.hasFullDiskAccess);
    EXPECT_EQ(held.agentVersion, agentVersion());

    const FixedPowerSource desktop(true, false);
    const StatusSnapshot free = makeStatusSnapshot(false, desktop);
    EXPECT_EQ(free.sleepSafe, free.pmsetSleep == 0);
    EXPECT_TRUE(free.onACPower);
    EXPECT_FALSE(free.isLaptop);
}

// A machine as the agent's user service sees it: a system bus and gsettings of the test's own, GNOME's
// power schema installed or not, and an environment without the desktop session's variables. The
// stand-in gsettings notes every run in "runs".
class DesktopMachine {
public:
    explicit DesktopMachine(bool gnomeInstalled) {
        std::filesystem::create_directories(schemas_.path());
        if (gnomeInstalled) {
            test::writeText(schemas_ / "org.gnome.settings-daemon.plugins.power.gschema.xml", "");
        }
    }

    // The stand-in's body after it has noted its run.
    void gsettings(const std::string& script) const {
        programs_.add("gsettings", "echo \"$*\" >> '" + (programs_ / "runs").string() + "'\n" + script);
    }

    std::size_t runs() const {
        const auto file = programs_ / "runs";
        return std::filesystem::exists(file) ? test::occurrences(test::fileText(file), "\n") : 0;
    }

private:
    const test::PrivateSessionBus systemBus_{"DBUS_SYSTEM_BUS_ADDRESS"};
    const test::TemporaryDirectory schemas_;
    const test::TemporaryDirectory systemData_;
    const test::EnvironmentOverride schemaDir_{"GSETTINGS_SCHEMA_DIR", schemas_.path().string()};
    const test::EnvironmentOverride dataDirs_{"XDG_DATA_DIRS", systemData_.path().string()};
    const test::EnvironmentOverride desktop_{"XDG_CURRENT_DESKTOP", std::nullopt};
    const test::StandInPrograms programs_;
};

// GNOME never sleeps on mains power here and suspends after 20 minutes on battery.
constexpr const char* gnomePowerListing =
    "printf '%s\\n' \"org.gnome.settings-daemon.plugins.power sleep-inactive-ac-timeout 1200\" "
    "\"org.gnome.settings-daemon.plugins.power sleep-inactive-ac-type 'nothing'\" "
    "\"org.gnome.settings-daemon.plugins.power sleep-inactive-battery-timeout 1200\" "
    "\"org.gnome.settings-daemon.plugins.power sleep-inactive-battery-type 'suspend'\"\n";

// logind says never (Debian's default), and the service was started before the desktop session told
// anyone it is GNOME: GNOME's own idle suspend still counts, and an unreadable one is unknown.
TEST(SleepTimer, ReadsGnomesIdleSuspendWithoutTheSessionsEnvironment) {
    struct Row {
        const char* what;
        bool gnomeInstalled;
        const char* gsettings;
        bool onAC;
        std::int64_t timer;
        std::size_t runs;
    };
    const Row rows[] = {
        {"GNOME on battery", true, gnomePowerListing, false, 20, 1},
        {"GNOME on mains power", true, gnomePowerListing, true, 0, 1},
        {"gsettings fails", true, "exit 1\n", false, -1, 1},
        {"gsettings prints nothing usable", true, "echo \"No such schema\"\n", true, -1, 1},
        {"no GNOME", false, gnomePowerListing, false, 0, 0},
    };
    for (const Row& row : rows) {
        const DesktopMachine machine(row.gnomeInstalled);
        const test::IdleLoginManager login("ignore", 0);
        machine.gsettings(row.gsettings);
        const FixedPowerSource power(row.onAC, true);
        const StatusSnapshot snapshot = makeStatusSnapshot(false, power);
        EXPECT_EQ(snapshot.pmsetSleep, row.timer) << row.what;
        EXPECT_EQ(snapshot.sleepSafe, row.timer == 0) << row.what;
        EXPECT_EQ(machine.runs(), row.runs) << row.what;
    }
}

// Neither logind nor gsettings answers: the snapshot still comes within about 3 s (2 s, then the
// stubborn tool's grace second), after one gsettings run. A quick answer to a single key's question
// would let a reader that asks key by key spend its time on a second run.
TEST(SleepTimer, ASnapshotWaitsForOneToolRunAndAtMostAboutThreeSeconds) {
    const DesktopMachine machine(true);
    const test::EnvironmentOverride desktop("XDG_CURRENT_DESKTOP", "GNOME");
    machine.gsettings("case \"$1/$3\" in\n"
                      "get/*-type) echo \"'suspend'\"; exit 0 ;;\n"
                      "esac\n"
                      "trap '' TERM\n"
                      "exec sleep 30\n");
    const dbus::Bus silentLogin = dbus::openSystemBus();
    ASSERT_GE(sd_bus_request_name(silentLogin.get(), "org.freedesktop.login1", 0), 0);

    const auto start = std::chrono::steady_clock::now();
    const StatusSnapshot snapshot = makeStatusSnapshot(false, FixedPowerSource(false, true));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(snapshot.pmsetSleep, -1);
    EXPECT_FALSE(snapshot.sleepSafe);
    EXPECT_EQ(machine.runs(), 1u);
    EXPECT_LT(took, 4500ms) << "about 3 s, with room for a loaded machine";
}

} // namespace
} // namespace kestrava
