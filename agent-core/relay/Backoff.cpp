#include "agent-core/relay/Backoff.hpp"

#include "platform/crypto/Random.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace kestrava {
namespace {

constexpr int exponentLimit = 16;
constexpr std::uint64_t steps = (std::uint64_t{1} << 53) + 1;
// 2^64 mod steps: the lowest draws that would make some steps likelier than others.
constexpr std::uint64_t biasedDraws = (0 - steps) % steps;

} // namespace

std::uint64_t Backoff::secureRandom() {
    std::array<std::uint8_t, sizeof(std::uint64_t)> bytes{};
    crypto::fillRandom(bytes);
    std::uint64_t value = 0;
    std::memcpy(&value, bytes.data(), bytes.size());
    return value;
}

double Backoff::spreadFactor() const {
    std::uint64_t draw = random();
    while (draw < biasedDraws) {
        draw = random();
    }
    const auto step = static_cast<double>(draw % steps); // 0 ... 2^53, exact in a double
    // (1 − j) + 2j·step·2^-53, arranged so that both ends come out exactly 1 − j and 1 + j.
    return 1.0 + jitter * (std::ldexp(step, -52) - 1.0);
}

double Backoff::nextDelay() {
    const std::int64_t n = attempt;
    attempt = n + 1;
    const double raw = std::ldexp(base, static_cast<int>(std::min<std::int64_t>(n, exponentLimit)));
    return (raw < cap ? raw : cap) * spreadFactor();
}

double Backoff::capDelay() const {
    return cap * spreadFactor();
}

} // namespace kestrava
