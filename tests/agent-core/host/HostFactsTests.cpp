#include "agent-core/host/HostFacts.hpp"
#include "agent-core/runtime/AgentVersion.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <limits>

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

} // namespace
} // namespace kestrava
