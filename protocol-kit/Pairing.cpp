#include "protocol-kit/Pairing.hpp"

#include "platform/crypto/AesGcm.hpp"
#include "platform/crypto/CryptoError.hpp"
#include "platform/crypto/Digest.hpp"
#include "platform/crypto/P256.hpp"
#include "platform/encoding/Hex.hpp"
#include "platform/encoding/Utf8.hpp"
#include "protocol-kit/PairingError.hpp"

#include <algorithm>
#include <cstdint>

namespace kestrava::Pairing {

namespace {

constexpr std::string_view nameKeyInfo = "KV1 name";
constexpr std::uint32_t sasModulus = 1'000'000;
constexpr std::size_t sasDigits = 6;

Bytes proofMessage(ByteView phoneSignPub, ByteView phoneAgreePub, std::string_view deviceId,
                   ByteView encName) {
    Bytes message;
    for (ByteView part : {phoneSignPub, phoneAgreePub, bytesOf(deviceId), encName}) {
        append(message, part);
    }
    return message;
}

crypto::SymmetricKey nameKey(ByteView secret) {
    const Bytes derived = crypto::hkdfSha256(secret, {}, bytesOf(nameKeyInfo), crypto::SymmetricKey{}.size());
    crypto::SymmetricKey key;
    std::copy(derived.begin(), derived.end(), key.begin());
    return key;
}

} // namespace

std::string secretHash(ByteView secret) {
    return hex::lowercase(crypto::sha256(secret));
}

Bytes proof(ByteView secret, ByteView phoneSignPub, ByteView phoneAgreePub, std::string_view deviceId,
            ByteView encName) {
    const auto code =
        crypto::hmacSha256(secret, proofMessage(phoneSignPub, phoneAgreePub, deviceId, encName));
    return Bytes(code.begin(), code.end());
}

bool verifyProof(const PairingRequest& request, ByteView secret, std::string_view deviceId) {
    if (!crypto::P256PublicKey::fromX963(request.phoneSignPub) ||
        !crypto::P256PublicKey::fromX963(request.phoneAgreePub)) {
        return false;
    }
    return crypto::isValidHmacSha256(
        request.proof, proofMessage(request.phoneSignPub, request.phoneAgreePub, deviceId, request.encName),
        secret);
}

Bytes encryptName(std::string_view name, ByteView secret) {
    return crypto::AesGcm::seal(nameKey(secret), bytesOf(name), {});
}

std::string decryptName(ByteView sealed, ByteView secret) {
    std::string name = textOf(crypto::AesGcm::open(nameKey(secret), sealed, {}));
    if (!utf8::isValid(name)) {
        throw PairingError::invalidUTF8();
    }
    return name;
}

std::optional<std::string> provenName(const PairingRequest& request, ByteView secret,
                                      std::string_view deviceId) {
    if (!verifyProof(request, secret, deviceId)) {
        return std::nullopt;
    }
    try {
        return decryptName(request.encName, secret);
    } catch (const crypto::CryptoError&) {
        return std::nullopt;
    } catch (const PairingError&) {
        return std::nullopt;
    }
}

std::string sas(ByteView macAgreePub, ByteView phoneSignPub, ByteView phoneAgreePub) {
    Bytes input;
    for (ByteView key : {macAgreePub, phoneSignPub, phoneAgreePub}) {
        append(input, key);
    }
    const auto digest = crypto::sha256(input);
    const std::uint32_t leading = std::uint32_t{digest[0]} << 24 | std::uint32_t{digest[1]} << 16 |
                                  std::uint32_t{digest[2]} << 8 | std::uint32_t{digest[3]};
    const std::string digits = std::to_string(leading % sasModulus);
    return std::string(sasDigits - digits.size(), '0') + digits;
}

} // namespace kestrava::Pairing
