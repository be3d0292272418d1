#pragma once

#include "platform/bytes/Bytes.hpp"
#include "protocol-kit/PairingRequest.hpp"

#include <optional>
#include <string>
#include <string_view>

// The cryptography of pairing, for both sides. Public keys are 65-byte uncompressed P-256 points; the
// secret is the 32 random bytes of the pairing link.
namespace kestrava::Pairing {

// SHA-256 of the secret as 64 lower-case hexadecimal digits: what the relay may see instead of it.
std::string secretHash(ByteView secret);

// HMAC-SHA256 under the secret over phoneSignPub || phoneAgreePub || deviceId || encName.
Bytes proof(ByteView secret, ByteView phoneSignPub, ByteView phoneAgreePub, std::string_view deviceId,
            ByteView encName);

// True only when both keys are valid points and the proof is the full HMAC (compared in constant time).
bool verifyProof(const PairingRequest& request, ByteView secret, std::string_view deviceId);

// AES-256-GCM under a key derived from the secret: nonce || ciphertext || tag, 28 bytes more than the name.
Bytes encryptName(std::string_view name, ByteView secret);

// Throws crypto::CryptoError for fewer than 28 bytes or a tag that does not verify, and
// PairingError::invalidUTF8 when the name is not UTF-8.
std::string decryptName(ByteView sealed, ByteView secret);

// The phone's name, when the request's proof holds for `secret` and `deviceId` and its name opens; none
// otherwise (a name that does not open counts as a bad proof).
std::optional<std::string> provenName(const PairingRequest& request, ByteView secret,
                                      std::string_view deviceId);

// The six-digit confirmation code both devices show, from the Mac's agreement key and the phone's keys.
std::string sas(ByteView macAgreePub, ByteView phoneSignPub, ByteView phoneAgreePub);

} // namespace kestrava::Pairing
