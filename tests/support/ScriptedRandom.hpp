#pragma once

#include "agent-core/relay/Backoff.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kestrava::test {

// The spread factor has 2^53 + 1 steps; stepDraw(r) is a 64-bit draw that lands on step r
// (0 gives 1 − jitter, 2^52 gives 1, 2^53 gives 1 + jitter).
inline constexpr std::uint64_t spreadSteps = (std::uint64_t{1} << 53) + 1;
inline constexpr std::uint64_t middleStep = std::uint64_t{1} << 52;
inline constexpr std::uint64_t topStep = std::uint64_t{1} << 53;

inline constexpr std::uint64_t stepDraw(std::uint64_t step) {
    return spreadSteps + step;
}

// A random source that returns `draws` in order, then the last one for ever; `calls` counts the draws.
inline Backoff::RandomSource
scriptedDraws(std::vector<std::uint64_t> draws,
              std::shared_ptr<std::size_t> calls = std::make_shared<std::size_t>(0)) {
    return [draws = std::move(draws), calls] {
        const std::size_t index = (*calls)++;
        return draws[index < draws.size() ? index : draws.size() - 1];
    };
}

} // namespace kestrava::test
