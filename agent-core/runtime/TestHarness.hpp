#pragma once

#include <filesystem>
#include <optional>

namespace kestrava {

// True when this process is a test run: then the secret store is never touched and the user's real data
// folder is never written. Decided once.
bool isRunningUnderTests();

// The folder laid out as the machine's power supplies that a test gives the agent program it runs
// ("KESTRAVA_TEST_POWER_SUPPLIES"), read and watched in place of the kernel's; none outside such a test.
// That program runs outside the harness on purpose (its secret store and data folder are real ones in a
// home of the test's), so this variable alone marks it. Decided once.
std::optional<std::filesystem::path> testPowerSupplies();

} // namespace kestrava
