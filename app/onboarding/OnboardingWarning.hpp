#pragma once

#include <cstdint>
#include <variant>

namespace kestrava::app {

// After a restart the machine waits for someone to log in (or to unlock its disk) before the agent runs.
struct RebootNeedsLogin {
    bool diskEncryptionOn = false;
    bool operator==(const RebootNeedsLogin&) const = default;
};

// The machine still sleeps after this many idle minutes.
struct SleepEnabled {
    std::int64_t minutes = 0;
    bool operator==(const SleepEnabled&) const = default;
};

// A laptop: closing its lid can still put it to sleep.
struct LaptopLid {
    bool operator==(const LaptopLid&) const = default;
};

// What the guide's summary warns about.
using OnboardingWarning = std::variant<RebootNeedsLogin, SleepEnabled, LaptopLid>;

} // namespace kestrava::app
