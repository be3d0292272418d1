#include "tests/support/TestPhone.hpp"

#include "platform/crypto/Random.hpp"
#include "protocol-kit/E2E.hpp"
#include "protocol-kit/Pairing.hpp"
#include "tests/support/FixedKeys.hpp"

#include <utility>

namespace kestrava::test {

TestPhone::TestPhone() : TestPhone(crypto::P256PrivateKey::generate(), crypto::P256PrivateKey::generate()) {}

TestPhone::TestPhone(crypto::P256PrivateKey signingKey, crypto::P256PrivateKey agreementKey)
    : signingKey_(std::move(signingKey)), agreementKey_(std::move(agreementKey)) {}

TestPhone TestPhone::fixed() {
    return TestPhone(fixedPrivateKey(0x11), fixedPrivateKey(0x22));
}

PairingRequest TestPhone::pairingRequest(ByteView secret, std::string_view deviceId,
                                         std::string_view name) const {
    PairingRequest request{.phoneSignPub = signPub(),
                           .phoneAgreePub = agreePub(),
                           .encName = Pairing::encryptName(name, secret),
                           .proof = {},
                           .secretHash = Pairing::secretHash(secret)};
    request.proof =
        Pairing::proof(secret, request.phoneSignPub, request.phoneAgreePub, deviceId, request.encName);
    return request;
}

SignedCommand TestPhone::command(std::string id, CommandKind kind, std::string cmd, std::int64_t timeoutSec,
                                 Timestamp now, std::string_view deviceId, std::string_view phoneId) const {
    SignedCommand::NonceBytes nonceBytes;
    crypto::fillRandom(nonceBytes);
    return SignedCommand::make(std::move(id), kind, std::move(cmd), timeoutSec, now, nonceBytes, deviceId,
                               phoneId, [this](ByteView bytes) { return signingKey_.signatureDer(bytes); });
}

crypto::SymmetricKey TestPhone::sessionKey(const crypto::P256PublicKey& macAgreePub,
                                           std::string_view deviceId, std::string_view phoneId) const {
    const auto shared = agreementKey_.sharedSecret(macAgreePub);
    return E2E::deriveKey(shared, deviceId, phoneId);
}

Bytes TestPhone::seal(const E2EPayload& payload, const crypto::SymmetricKey& key, std::string_view deviceId,
                      std::string_view phoneId) const {
    return E2E::seal(payload, key, Direction::p2m, deviceId, phoneId);
}

E2EPayload TestPhone::open(ByteView box, const crypto::SymmetricKey& key, std::string_view deviceId,
                           std::string_view phoneId) const {
    return E2E::open(box, key, Direction::m2p, deviceId, phoneId);
}

} // namespace kestrava::test
