#pragma once

#include "platform/bytes/Bytes.hpp"

#include <array>

namespace kestrava::crypto {

using SymmetricKey = std::array<std::uint8_t, 32>;

namespace AesGcm {

inline constexpr std::size_t nonceSize = 12;
inline constexpr std::size_t tagSize = 16;

// AES-256-GCM with a fresh random 12-byte nonce; returns nonce || ciphertext || tag.
Bytes seal(const SymmetricKey& key, ByteView plaintext, ByteView associatedData);

// Opens nonce || ciphertext || tag. Throws CryptoError incorrectParameterSize for fewer than 28 bytes
// (before any decryption) and authenticationFailure when the tag does not verify.
Bytes open(const SymmetricKey& key, ByteView combined, ByteView associatedData);

} // namespace AesGcm
} // namespace kestrava::crypto
