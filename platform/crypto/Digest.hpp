#pragma once

#include "platform/bytes/Bytes.hpp"

#include <array>
#include <cstddef>

namespace kestrava::crypto {

using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest sha256(ByteView data);

Sha256Digest hmacSha256(ByteView key, ByteView message);

// True only when `code` is the full 32-byte HMAC of `message`; compares in constant time.
bool isValidHmacSha256(ByteView code, ByteView message, ByteView key);

// RFC 5869 extract-and-expand. An empty salt is the same as a salt of 32 zero bytes.
Bytes hkdfSha256(ByteView inputKeyMaterial, ByteView salt, ByteView info, std::size_t length);

// Equal length and equal bytes; the time taken does not depend on where the first difference lies.
bool constantTimeEqual(ByteView a, ByteView b);

} // namespace kestrava::crypto
