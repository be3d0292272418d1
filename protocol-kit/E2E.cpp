#include "protocol-kit/E2E.hpp"

#include "platform/crypto/Digest.hpp"
#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"

#include <algorithm>

namespace kestrava::E2E {
namespace {

std::string associatedData(Direction direction, std::string_view deviceId, std::string_view phoneId) {
    std::string aad = "KV1|";
    aad.append(rawValue(direction)).append("|").append(deviceId).append("|").append(phoneId);
    return aad;
}

constexpr json::WriteOptions plaintextFormat{.sortedKeys = true, .pretty = false, .escapeSlash = false};

} // namespace

crypto::SymmetricKey deriveKey(ByteView shared, std::string_view deviceId, std::string_view phoneId) {
    std::string salt(deviceId);
    salt.append(phoneId);
    const Bytes derived =
        crypto::hkdfSha256(shared, bytesOf(salt), bytesOf("KV1 e2e"), sizeof(crypto::SymmetricKey));
    crypto::SymmetricKey key;
    std::copy(derived.begin(), derived.end(), key.begin());
    return key;
}

Bytes seal(const E2EPayload& payload, const crypto::SymmetricKey& key, Direction direction,
           std::string_view deviceId, std::string_view phoneId) {
    const std::string plaintext = json::write(payload.encode(), plaintextFormat);
    return crypto::AesGcm::seal(key, bytesOf(plaintext),
                                bytesOf(associatedData(direction, deviceId, phoneId)));
}

E2EPayload open(ByteView box, const crypto::SymmetricKey& key, Direction direction, std::string_view deviceId,
                std::string_view phoneId) {
    const Bytes plaintext =
        crypto::AesGcm::open(key, box, bytesOf(associatedData(direction, deviceId, phoneId)));
    return E2EPayload::decode(json::ObjectReader(json::parse(textOf(plaintext))));
}

} // namespace kestrava::E2E
