#pragma once

#include "platform/bytes/Bytes.hpp"
#include "platform/crypto/AesGcm.hpp"
#include "protocol-kit/Direction.hpp"
#include "protocol-kit/E2EPayload.hpp"

#include <string_view>

// End-to-end sealing between the machine and one paired phone. Every box is bound to its direction and
// to both identities, machine first, so the relay can neither read, alter, reflect nor relabel it.
namespace kestrava::E2E {

// HKDF-SHA256 of the ECDH shared secret; salt = device id then phone id, info = "KV1 e2e".
crypto::SymmetricKey deriveKey(ByteView shared, std::string_view deviceId, std::string_view phoneId);

// The payload as compact JSON with sorted keys and plain slashes, sealed with AES-256-GCM: returns
// nonce || ciphertext || tag.
Bytes seal(const E2EPayload& payload, const crypto::SymmetricKey& key, Direction direction,
           std::string_view deviceId, std::string_view phoneId);

// Throws crypto::CryptoError (a box under 28 bytes, or one that does not authenticate) or
// json::DecodeError (an authentic box whose plaintext is not a payload).
E2EPayload open(ByteView box, const crypto::SymmetricKey& key, Direction direction, std::string_view deviceId,
                std::string_view phoneId);

} // namespace kestrava::E2E
