#include "platform/host/BootTime.hpp"
#include "platform/host/MemoryInfo.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

namespace kestrava::host {
namespace {

constexpr std::uint64_t pageSize = 4096;

std::optional<MemoryInfo> memoryFrom(std::string_view text) {
    test::TemporaryDirectory folder;
    test::writeText(folder / "meminfo", text);
    return readMemoryInfo(folder / "meminfo");
}

TEST(KernelBootTime, ReadsTheBtimeLine) {
    test::TemporaryDirectory folder;
    test::writeText(folder / "stat", "cpu  1 2 3\nbtime2 5\nbtime 1700000000\nprocesses 42\n");
    EXPECT_EQ(kernelBootTime(folder / "stat"), timestampFromSeconds(1'700'000'000));

    test::writeText(folder / "stat", "cpu  1 2 3\nbtime abc\n");
    EXPECT_EQ(kernelBootTime(folder / "stat"), std::nullopt);
    test::writeText(folder / "stat", "btime 99999999999999999999\n");
    EXPECT_EQ(kernelBootTime(folder / "stat"), std::nullopt);
    test::writeText(folder / "stat", "cpu  1 2 3\n");
    EXPECT_EQ(kernelBootTime(folder / "stat"), std::nullopt);
    EXPECT_EQ(kernelBootTime(folder / "missing"), std::nullopt);
}

TEST(KernelBootTime, IsTheSameOnEveryCall) {
    const auto first = kernelBootTime();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(kernelBootTime(), first);
    EXPECT_LT(*first, wallClockNow());
}

TEST(MemoryInfo, TakesAvailableMemoryElseFreeAndInactive) {
    const auto available = memoryFrom("MemTotal:  64000 kB\nMemFree:  100 kB\nMemAvailable:  32000 kB\n"
                                      "Inactive:  100 kB\n");
    ASSERT_TRUE(available.has_value());
    EXPECT_EQ(available->totalBytes, 64000u * 1024);
    EXPECT_EQ(available->freeBytes, 32000u * 1024);
    EXPECT_EQ(available->freePercent(pageSize), 50);

    // 1,000 free and 600 inactive pages out of 16,000.
    const auto older = memoryFrom("MemTotal:  64000 kB\nMemFree:  4000 kB\nActive:  9 kB\n"
                                  "Inactive(anon):  5 kB\nInactive:  2400 kB\n");
    ASSERT_TRUE(older.has_value());
    EXPECT_EQ(older->freeBytes, 6400u * 1024);
    EXPECT_EQ(older->freePercent(pageSize), 10);

    EXPECT_EQ(memoryFrom("MemFree:  4000 kB\n"), std::nullopt);
    EXPECT_EQ(memoryFrom("MemTotal:  lots\n"), std::nullopt);
    test::TemporaryDirectory folder;
    EXPECT_EQ(readMemoryInfo(folder / "missing"), std::nullopt);

    const auto real = readMemoryInfo();
    ASSERT_TRUE(real.has_value());
    EXPECT_GT(real->totalBytes, 0u);
}

TEST(MemoryInfo, PercentCountsWholePagesAndStaysWithinRange) {
    EXPECT_EQ((MemoryInfo{16000 * pageSize, 1599 * pageSize + 4095}.freePercent(pageSize)), 9);
    EXPECT_EQ((MemoryInfo{16000 * pageSize, 16000 * pageSize}.freePercent(pageSize)), 100);
    EXPECT_EQ((MemoryInfo{16000 * pageSize, 20000 * pageSize}.freePercent(pageSize)), 100);
    EXPECT_EQ((MemoryInfo{16000 * pageSize, 0}.freePercent(pageSize)), 0);
    EXPECT_EQ((MemoryInfo{pageSize - 1, pageSize - 1}.freePercent(pageSize)), 0);
    EXPECT_EQ((MemoryInfo{pageSize, pageSize}.freePercent(pageSize)), 100);
}

} // namespace
} // namespace kestrava::host
