#pragma once

#include "platform/bytes/Bytes.hpp"

#include <cstddef>

namespace kestrava::crypto {

// Bytes from the operating system's cryptographically secure generator. Throws CryptoError when the
// generator fails, never returns weak bytes.
Bytes randomBytes(std::size_t count);
void fillRandom(std::span<std::uint8_t> out);

} // namespace kestrava::crypto
