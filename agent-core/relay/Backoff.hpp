#pragma once

#include <cstdint>
#include <functional>

namespace kestrava {

// Exponential back-off with a ceiling and a random spread of ±`jitter` around each delay.
struct Backoff {
    // 64 uniformly random bits per call.
    using RandomSource = std::function<std::uint64_t()>;

    // Eight bytes from the operating system's secure generator.
    static std::uint64_t secureRandom();

    double base = 1.0;   // seconds, the first delay before spreading
    double cap = 30.0;   // seconds, the largest delay before spreading
    double jitter = 0.2; // finite, not below 0
    std::int64_t attempt = 0;
    RandomSource random = secureRandom;

    // base × 2^min(attempt, 16), at most `cap`, spread; counts the attempt.
    double nextDelay();
    // `cap` spread; counts nothing.
    double capDelay() const;

    // A factor drawn uniformly from the closed range [1 − jitter, 1 + jitter] on 2^53 + 1 equal steps.
    double spreadFactor() const;
};

} // namespace kestrava
