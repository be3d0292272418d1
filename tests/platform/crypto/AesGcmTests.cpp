#include "platform/crypto/AesGcm.hpp"
#include "platform/crypto/CryptoError.hpp"
#include "tests/support/HexBytes.hpp"
#include "tests/support/Thrown.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace kestrava::crypto {
namespace {

using test::hexBytes;

SymmetricKey keyOf(std::string_view digits) {
    const Bytes bytes = hexBytes(digits);
    SymmetricKey key{};
    std::copy_n(bytes.begin(), key.size(), key.begin());
    return key;
}

Bytes concatenated(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        append(all, part);
    }
    return all;
}

const SymmetricKey zeroKey{};
const SymmetricKey specKey = keyOf("feffe9928665731c6d6a8f9467308308feffe9928665731c6d6a8f9467308308");
const Bytes zeroNonce(AesGcm::nonceSize, 0x00);
const Bytes specNonce = hexBytes("cafebabefacedbaddecaf888");
const Bytes specPlaintext = hexBytes(
    "d9313225f88406e5a55909c5aff5269a86a7a9531534f7da2e4c303d8a318a721c3c0c95956809532fcf0e2449a6b525"
    "b16aedf5aa0de657ba637b391aafd255");
const Bytes specCiphertext = hexBytes(
    "522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa8cb08e48590dbb3da7b08b1056828838"
    "c5f61e6393ba7a0abcc9f662898015ad");
const Bytes specAssociatedData = hexBytes("feedfacedeadbeeffeedfacedeadbeefabaddad2");

TEST(AesGcm, OpensPublishedVectors) {
    const Bytes emptyBox = concatenated({zeroNonce, hexBytes("530f8afbc74536b9a963b4f1c4cb738b")});
    ASSERT_EQ(emptyBox.size(), 28u);
    EXPECT_EQ(AesGcm::open(zeroKey, emptyBox, {}), Bytes{});

    EXPECT_EQ(AesGcm::open(zeroKey,
                           concatenated({zeroNonce, hexBytes("cea7403d4d606b6e074ec5d3baf39d18"),
                                         hexBytes("d0d1c8a799996bf0265b98b5d48ab919")}),
                           {}),
              Bytes(16, 0x00));

    EXPECT_EQ(
        AesGcm::open(specKey,
                     concatenated({specNonce, specCiphertext, hexBytes("b094dac5d93471bdec1a502270e3cc6c")}),
                     {}),
        specPlaintext);

    const Bytes truncatedPlaintext(specPlaintext.begin(), specPlaintext.begin() + 60);
    const Bytes truncatedCiphertext(specCiphertext.begin(), specCiphertext.begin() + 60);
    EXPECT_EQ(AesGcm::open(specKey,
                           concatenated({specNonce, truncatedCiphertext,
                                         hexBytes("76fc6ece0f4e1768cddf8853bb2d551b")}),
                           specAssociatedData),
              truncatedPlaintext);
}

TEST(AesGcm, SealedBoxesRoundTripWithFreshNonces) {
    const Bytes first = AesGcm::seal(specKey, specPlaintext, specAssociatedData);
    const Bytes second = AesGcm::seal(specKey, specPlaintext, specAssociatedData);
    EXPECT_EQ(first.size(), AesGcm::nonceSize + specPlaintext.size() + AesGcm::tagSize);
    EXPECT_NE(first, second);
    EXPECT_EQ(AesGcm::open(specKey, first, specAssociatedData), specPlaintext);
    EXPECT_EQ(AesGcm::open(specKey, second, specAssociatedData), specPlaintext);

    const Bytes empty = AesGcm::seal(specKey, {}, {});
    EXPECT_EQ(empty.size(), 28u);
    EXPECT_EQ(AesGcm::open(specKey, empty, {}), Bytes{});
}

TEST(AesGcm, RejectsTamperingAndShortBoxes) {
    const Bytes sealed = AesGcm::seal(specKey, specPlaintext, specAssociatedData);
    for (std::size_t index : {std::size_t{0}, AesGcm::nonceSize, sealed.size() - 1}) {
        Bytes flipped = sealed;
        flipped[index] ^= 0x80;
        EXPECT_EQ(test::cryptoFailure([&] { AesGcm::open(specKey, flipped, specAssociatedData); }),
                  CryptoError::Kind::authenticationFailure);
    }
    EXPECT_EQ(test::cryptoFailure([&] { AesGcm::open(specKey, sealed, bytesOf("other data")); }),
              CryptoError::Kind::authenticationFailure);
    EXPECT_EQ(test::cryptoFailure([&] { AesGcm::open(zeroKey, sealed, specAssociatedData); }),
              CryptoError::Kind::authenticationFailure);

    EXPECT_EQ(
        test::cryptoFailure([&] { AesGcm::open(specKey, ByteView(sealed).first(27), specAssociatedData); }),
        CryptoError::Kind::incorrectParameterSize);
    EXPECT_EQ(test::cryptoFailure([&] { AesGcm::open(specKey, {}, {}); }),
              CryptoError::Kind::incorrectParameterSize);
    EXPECT_EQ(test::cryptoFailure([&] { AesGcm::open(specKey, Bytes(28, 0x00), {}); }),
              CryptoError::Kind::authenticationFailure);
}

} // namespace
} // namespace kestrava::crypto
