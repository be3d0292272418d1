#pragma once

#include "platform/crypto/P256.hpp"

#include <cstdint>

namespace kestrava::test {

// The P-256 private key whose 32 scalar bytes all equal `fill` (1 to 0xFE): the same key in every run.
crypto::P256PrivateKey fixedPrivateKey(std::uint8_t fill);

} // namespace kestrava::test
