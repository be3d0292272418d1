#pragma once

#include "platform/crypto/AesGcm.hpp"
#include "platform/crypto/P256.hpp"
#include "platform/time/Timestamp.hpp"
#include "protocol-kit/CommandKind.hpp"
#include "protocol-kit/E2EPayload.hpp"
#include "protocol-kit/PairingRequest.hpp"
#include "protocol-kit/SignedCommand.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrava::test {

// The phone's side of the protocol: a signing key and a key-agreement key.
class TestPhone {
public:
    // Fresh random keys.
    TestPhone();
    TestPhone(crypto::P256PrivateKey signingKey, crypto::P256PrivateKey agreementKey);

    // The same keys in every run.
    static TestPhone fixed();

    const crypto::P256PrivateKey& signingKey() const { return signingKey_; }
    const crypto::P256PrivateKey& agreementKey() const { return agreementKey_; }
    Bytes signPub() const { return signingKey_.publicKey().x963(); }
    Bytes agreePub() const { return agreementKey_.publicKey().x963(); }

    // A request with a sealed name and a valid proof for the Mac `deviceId` that showed `secret`.
    PairingRequest pairingRequest(ByteView secret, std::string_view deviceId, std::string_view name) const;

    // A command signed with this phone's signing key.
    SignedCommand command(std::string id, CommandKind kind, std::string cmd, std::int64_t timeoutSec,
                          Timestamp now, std::string_view deviceId, std::string_view phoneId) const;

    // The end-to-end key this phone shares with the machine whose agreement key is `macAgreePub`.
    crypto::SymmetricKey sessionKey(const crypto::P256PublicKey& macAgreePub, std::string_view deviceId,
                                    std::string_view phoneId) const;

    // A payload sealed as this phone sends it, and a box from the machine opened as this phone reads it.
    Bytes seal(const E2EPayload& payload, const crypto::SymmetricKey& key, std::string_view deviceId,
               std::string_view phoneId) const;
    E2EPayload open(ByteView box, const crypto::SymmetricKey& key, std::string_view deviceId,
                    std::string_view phoneId) const;

private:
    crypto::P256PrivateKey signingKey_;
    crypto::P256PrivateKey agreementKey_;
};

} // namespace kestrava::test
