#include "platform/crypto/P256.hpp"
#include "tests/support/HexBytes.hpp"

#include <gtest/gtest.h>

namespace kestrava::crypto {
namespace {

using test::hexBytes;

// P-256 key pair and SHA-256 signatures from RFC 6979, appendix A.2.5.
const Bytes rfcPrivateKey = hexBytes("c9afa9d845ba75166b5c215767b1d6934e50c3db36e89b127b8a622b120f6721");
const Bytes rfcPublicKey = hexBytes("04"
                                    "60fed4ba255a9d31c961eb74c6356d68c049b8923b61fa6ce669622e60f29fb6"
                                    "7903fe1008b8bc99a41ae9e95628bc64f2f1b20c2d7e9f5177a3c294d4462299");
const Bytes groupOrder = hexBytes("ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551");

struct RfcSignature {
    const char* message;
    Bytes r;
    Bytes s;
};

const RfcSignature rfcSignatures[] = {
    {"sample", hexBytes("efd48b2aacb6a8fd1140dd9cd45e81d69d2c877b56aaf991c34d0ea84eaf3716"),
     hexBytes("f7cb1c942d657c41d436c7a1b6e29f65f3e900dbb9aff4064dc4ab2f843acda8")},
    {"test", hexBytes("f1abb023518351cd71d881567b1ea663ed3efcf6c5132b354f28d3b0b7d38367"),
     hexBytes("019f4113742a2b14bd25926b49c649155f267e60d3814b4c0cc84250e46f0083")},
};

// DER of short values: tag, one length byte, contents.
Bytes derElement(std::uint8_t tag, ByteView contents) {
    Bytes element{tag, static_cast<std::uint8_t>(contents.size())};
    append(element, contents);
    return element;
}

// The minimal two's-complement contents of an unsigned big-endian integer.
Bytes integerContents(ByteView magnitude) {
    while (magnitude.size() > 1 && magnitude.front() == 0x00) {
        magnitude = magnitude.subspan(1);
    }
    Bytes contents;
    if (magnitude.front() & 0x80) {
        contents.push_back(0x00);
    }
    append(contents, magnitude);
    return contents;
}

Bytes derSignature(ByteView rContents, ByteView sContents) {
    Bytes sequence = derElement(0x02, rContents);
    append(sequence, derElement(0x02, sContents));
    return derElement(0x30, sequence);
}

Bytes derSignatureOf(ByteView r, ByteView s) {
    return derSignature(integerContents(r), integerContents(s));
}

// n - value for 32-byte big-endian numbers below n.
Bytes orderMinus(ByteView value) {
    Bytes difference(groupOrder.size());
    int borrow = 0;
    for (std::size_t i = groupOrder.size(); i-- > 0;) {
        const int digit = groupOrder[i] - value[i] - borrow;
        borrow = digit < 0 ? 1 : 0;
        difference[i] = static_cast<std::uint8_t>(digit + 256 * borrow);
    }
    return difference;
}

Bytes concatenated(ByteView first, ByteView second) {
    Bytes all(first.begin(), first.end());
    append(all, second);
    return all;
}

Bytes rawBytes(const P256PrivateKey& key) {
    const auto raw = key.raw();
    return {raw.begin(), raw.end()};
}

TEST(P256, Rfc6979KeyAndSignaturesVerify) {
    const auto privateKey = P256PrivateKey::fromRaw(rfcPrivateKey);
    ASSERT_TRUE(privateKey);
    EXPECT_EQ(privateKey->publicKey().x963(), rfcPublicKey);

    const auto publicKey = P256PublicKey::fromX963(rfcPublicKey);
    ASSERT_TRUE(publicKey);
    EXPECT_EQ(publicKey->x963(), rfcPublicKey);
    for (const RfcSignature& signature : rfcSignatures) {
        SCOPED_TRACE(signature.message);
        const ByteView message = bytesOf(signature.message);
        EXPECT_TRUE(publicKey->isValidSignature(derSignatureOf(signature.r, signature.s), message));
        EXPECT_TRUE(
            publicKey->isValidSignature(derSignatureOf(signature.r, orderMinus(signature.s)), message));
        EXPECT_FALSE(publicKey->isValidSignature(derSignatureOf(signature.r, signature.s), bytesOf("other")));
    }
}

TEST(P256, OnlyStrictDerSignaturesVerify) {
    const auto publicKey = P256PublicKey::fromX963(rfcPublicKey);
    ASSERT_TRUE(publicKey);
    const RfcSignature& signature = rfcSignatures[1];
    const ByteView message = bytesOf(signature.message);
    const Bytes der = derSignatureOf(signature.r, signature.s);
    ASSERT_TRUE(publicKey->isValidSignature(der, message));

    EXPECT_FALSE(publicKey->isValidSignature(concatenated(signature.r, signature.s), message));
    EXPECT_FALSE(publicKey->isValidSignature(concatenated(der, Bytes{0x00}), message));
    const Bytes paddedR = concatenated(Bytes{0x00}, integerContents(signature.r));
    EXPECT_FALSE(publicKey->isValidSignature(derSignature(paddedR, integerContents(signature.s)), message));
    EXPECT_FALSE(publicKey->isValidSignature({}, message));
    EXPECT_FALSE(publicKey->isValidSignature(ByteView(der).first(der.size() - 1), message));
}

TEST(P256, PublicKeysMustBeUncompressedPointsOnTheCurve) {
    const ByteView coordinates = ByteView(rfcPublicKey).subspan(1);
    const bool yIsOdd = rfcPublicKey.back() & 1;
    const Bytes compressed =
        concatenated(Bytes{static_cast<std::uint8_t>(yIsOdd ? 0x03 : 0x02)}, coordinates.first(32));
    const Bytes hybrid = concatenated(Bytes{static_cast<std::uint8_t>(yIsOdd ? 0x07 : 0x06)}, coordinates);
    Bytes offCurve = rfcPublicKey;
    offCurve.back() ^= 0x01;
    Bytes infinity(65, 0x00);

    EXPECT_FALSE(P256PublicKey::fromX963(compressed));
    EXPECT_FALSE(P256PublicKey::fromX963(coordinates));
    EXPECT_FALSE(P256PublicKey::fromX963(hybrid));
    EXPECT_FALSE(P256PublicKey::fromX963(offCurve));
    EXPECT_FALSE(P256PublicKey::fromX963(infinity));
    EXPECT_FALSE(P256PublicKey::fromX963(Bytes{0x00}));
    EXPECT_FALSE(P256PublicKey::fromX963({}));
    EXPECT_FALSE(P256PublicKey::fromX963(concatenated(rfcPublicKey, Bytes{0x00})));
}

TEST(P256, PrivateScalarsLieBetweenOneAndTheOrder) {
    EXPECT_FALSE(P256PrivateKey::fromRaw(Bytes(32, 0x00)));
    EXPECT_FALSE(P256PrivateKey::fromRaw(groupOrder));
    EXPECT_FALSE(P256PrivateKey::fromRaw(Bytes(32, 0xff)));
    EXPECT_FALSE(P256PrivateKey::fromRaw(ByteView(rfcPrivateKey).first(31)));
    EXPECT_FALSE(P256PrivateKey::fromRaw(concatenated(Bytes{0x00}, rfcPrivateKey)));

    Bytes orderMinusOne = groupOrder;
    orderMinusOne.back() -= 1;
    const auto largest = P256PrivateKey::fromRaw(orderMinusOne);
    ASSERT_TRUE(largest);
    EXPECT_EQ(rawBytes(*largest), orderMinusOne);

    // d = 1 exports with its leading zeros and gives the base point.
    Bytes one(32, 0x00);
    one.back() = 0x01;
    const auto smallest = P256PrivateKey::fromRaw(one);
    ASSERT_TRUE(smallest);
    EXPECT_EQ(rawBytes(*smallest), one);
    EXPECT_EQ(smallest->publicKey().x963(),
              hexBytes("04"
                       "6b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296"
                       "4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f5"));
}

TEST(P256, GeneratedKeysSignAndAgree) {
    const P256PrivateKey mine = P256PrivateKey::generate();
    const P256PrivateKey theirs = P256PrivateKey::generate();
    EXPECT_EQ(mine.sharedSecret(theirs.publicKey()), theirs.sharedSecret(mine.publicKey()));
    EXPECT_NE(mine.raw(), theirs.raw());

    const auto restored = P256PrivateKey::fromRaw(mine.raw());
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->publicKey().x963(), mine.publicKey().x963());

    const Bytes signature = mine.signatureDer(bytesOf("message"));
    EXPECT_TRUE(mine.publicKey().isValidSignature(signature, bytesOf("message")));
    EXPECT_FALSE(theirs.publicKey().isValidSignature(signature, bytesOf("message")));
}

} // namespace
} // namespace kestrava::crypto
