#include "platform/crypto/AesGcm.hpp"
#include "platform/crypto/CryptoError.hpp"
#include "platform/crypto/Digest.hpp"
#include "platform/crypto/Random.hpp"
#include "platform/encoding/Hex.hpp"
#include "protocol-kit/Pairing.hpp"
#include "protocol-kit/PairingError.hpp"
#include "tests/support/FixedKeys.hpp"
#include "tests/support/TestPhone.hpp"
#include "tests/support/Thrown.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace kestrava {
namespace {

using crypto::CryptoError;

Bytes secretOfCounting() {
    Bytes secret(32);
    std::iota(secret.begin(), secret.end(), 0);
    return secret;
}

Bytes concatenated(std::initializer_list<ByteView> parts) {
    Bytes all;
    for (ByteView part : parts) {
        append(all, part);
    }
    return all;
}

crypto::SymmetricKey nameKeyByDefinition(ByteView secret) {
    const Bytes derived = crypto::hkdfSha256(secret, {}, bytesOf("KV1 name"), 32);
    crypto::SymmetricKey key;
    std::copy(derived.begin(), derived.end(), key.begin());
    return key;
}

TEST(Pairing, SecretHashIsLowerCaseHexOfSha256) {
    const Bytes secret = secretOfCounting();
    EXPECT_EQ(Pairing::secretHash(secret),
              "630dcd2966c4336691125448bbb25b4ff412a49c732db2c8abc1b8581bd710dd");
    EXPECT_EQ(Pairing::secretHash({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");

    for (std::size_t length : {1u, 32u, 100u}) {
        const Bytes random = crypto::randomBytes(length);
        std::string expected;
        for (std::uint8_t byte : crypto::sha256(random)) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02x", byte);
            expected += digits;
        }
        EXPECT_EQ(Pairing::secretHash(random), expected);
    }
}

TEST(Pairing, ProofIsHmacOverKeysDeviceIdAndSealedName) {
    const auto phone = test::TestPhone::fixed();
    const Bytes secret = secretOfCounting();
    const Bytes encName(28, 0xAB);
    const Bytes signPub = phone.signPub(), agreePub = phone.agreePub();

    const Bytes proof = Pairing::proof(secret, signPub, agreePub, "mac-7", encName);
    EXPECT_EQ(hex::lowercase(proof), "c3340abc196df6b014dffd30d8e017d3f283331fd86cf812fa108ea5264b4ae7");
    const auto byDefinition =
        crypto::hmacSha256(secret, concatenated({signPub, agreePub, bytesOf("mac-7"), encName}));
    EXPECT_TRUE(std::equal(proof.begin(), proof.end(), byDefinition.begin(), byDefinition.end()));

    auto flipped = [](Bytes bytes) {
        bytes.back() ^= 1;
        return bytes;
    };
    EXPECT_NE(Pairing::proof(secret, flipped(signPub), agreePub, "mac-7", encName), proof);
    EXPECT_NE(Pairing::proof(secret, signPub, flipped(agreePub), "mac-7", encName), proof);
    EXPECT_NE(Pairing::proof(secret, signPub, agreePub, "mac-6", encName), proof);
    EXPECT_NE(Pairing::proof(secret, signPub, agreePub, "mac-7", flipped(encName)), proof);
}

TEST(Pairing, VerifyProofAcceptsOnlyTheFullProofOverValidKeys) {
    const test::TestPhone phone;
    const Bytes secret = crypto::randomBytes(32);
    const PairingRequest request = phone.pairingRequest(secret, "mac-7", "Anna's phone");
    EXPECT_TRUE(Pairing::verifyProof(request, secret, "mac-7"));
    EXPECT_FALSE(Pairing::verifyProof(request, secret, "mac-8"));
    EXPECT_FALSE(Pairing::verifyProof(request, crypto::randomBytes(32), "mac-7"));

    auto withProof = [&](Bytes proof) {
        PairingRequest changed = request;
        changed.proof = std::move(proof);
        return Pairing::verifyProof(changed, secret, "mac-7");
    };
    Bytes wrong = request.proof;
    wrong[0] ^= 0x80;
    EXPECT_FALSE(withProof(wrong));
    EXPECT_FALSE(withProof(Bytes(request.proof.begin(), request.proof.end() - 1)));
    Bytes longer = request.proof;
    longer.push_back(0);
    EXPECT_FALSE(withProof(longer));

    // A correct HMAC over key bytes that are not an uncompressed point still fails.
    auto withKeys = [&](Bytes signPub, Bytes agreePub) {
        PairingRequest changed = request;
        changed.phoneSignPub = std::move(signPub);
        changed.phoneAgreePub = std::move(agreePub);
        changed.proof =
            Pairing::proof(secret, changed.phoneSignPub, changed.phoneAgreePub, "mac-7", changed.encName);
        return Pairing::verifyProof(changed, secret, "mac-7");
    };
    const Bytes& signPub = request.phoneSignPub;
    Bytes compressed(signPub.begin(), signPub.begin() + 33);
    compressed[0] = 0x02 + (signPub.back() & 1);
    EXPECT_FALSE(withKeys(Bytes(signPub.begin() + 1, signPub.end()), request.phoneAgreePub));
    EXPECT_FALSE(withKeys(compressed, request.phoneAgreePub));
    Bytes offCurve = request.phoneAgreePub;
    offCurve.back() ^= 1;
    EXPECT_FALSE(withKeys(signPub, offCurve));
}

TEST(Pairing, NameIsSealedUnderTheSecretsNameKey) {
    const Bytes secret = crypto::randomBytes(32);
    const Bytes first = Pairing::encryptName("Anna's phone", secret);
    const Bytes second = Pairing::encryptName("Anna's phone", secret);
    EXPECT_EQ(first.size(), 12u + 28u);
    EXPECT_NE(first, second);
    EXPECT_EQ(Pairing::decryptName(first, secret), "Anna's phone");
    EXPECT_EQ(Pairing::decryptName(second, secret), "Anna's phone");
    EXPECT_EQ(textOf(crypto::AesGcm::open(nameKeyByDefinition(secret), first, {})), "Anna's phone");

    const Bytes empty = Pairing::encryptName("", secret);
    EXPECT_EQ(empty.size(), 28u);
    EXPECT_EQ(Pairing::decryptName(empty, secret), "");

    Bytes tampered = first;
    tampered[14] ^= 1;
    EXPECT_EQ(test::cryptoFailure([&] { Pairing::decryptName(tampered, secret); }),
              CryptoError::Kind::authenticationFailure);
    EXPECT_EQ(test::cryptoFailure([&] { Pairing::decryptName(first, crypto::randomBytes(32)); }),
              CryptoError::Kind::authenticationFailure);
    EXPECT_EQ(
        test::cryptoFailure([&] { Pairing::decryptName(Bytes(empty.begin(), empty.end() - 1), secret); }),
        CryptoError::Kind::incorrectParameterSize);

    const Bytes notUtf8 = crypto::AesGcm::seal(nameKeyByDefinition(secret), Bytes{0xFF}, {});
    try {
        Pairing::decryptName(notUtf8, secret);
        ADD_FAILURE() << "0xFF decrypted as a name";
    } catch (const PairingError& error) {
        EXPECT_EQ(error, PairingError::invalidUTF8());
    }
}

TEST(Pairing, ConfirmationCodeIsSixDigitsOfTheKeysDigest) {
    const auto phone = test::TestPhone::fixed();
    const Bytes macAgreePub = test::fixedPrivateKey(0x33).publicKey().x963();
    const std::string code = Pairing::sas(macAgreePub, phone.signPub(), phone.agreePub());
    EXPECT_EQ(code, "099373");
    EXPECT_EQ(Pairing::sas(macAgreePub, phone.agreePub(), phone.signPub()), "068476");

    const test::TestPhone randomPhone;
    const auto digest =
        crypto::sha256(concatenated({macAgreePub, randomPhone.signPub(), randomPhone.agreePub()}));
    const unsigned leading = unsigned{digest[0]} << 24 | unsigned{digest[1]} << 16 |
                             unsigned{digest[2]} << 8 | unsigned{digest[3]};
    char expected[7];
    std::snprintf(expected, sizeof expected, "%06u", leading % 1000000);
    EXPECT_EQ(Pairing::sas(macAgreePub, randomPhone.signPub(), randomPhone.agreePub()), expected);
}

} // namespace
} // namespace kestrava
