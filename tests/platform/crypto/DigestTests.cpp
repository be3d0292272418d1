#include "platform/crypto/Digest.hpp"
#include "tests/support/HexBytes.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace kestrava::crypto {
namespace {

using test::hexBytes;

Bytes bytesOfDigest(const Sha256Digest& digest) {
    return {digest.begin(), digest.end()};
}

Bytes text(std::string_view characters) {
    const ByteView bytes = bytesOf(characters);
    return {bytes.begin(), bytes.end()};
}

Bytes repeated(std::uint8_t byte, std::size_t count) {
    return Bytes(count, byte);
}

Bytes counting(std::uint8_t first, std::uint8_t last) {
    Bytes bytes;
    for (unsigned value = first; value <= last; ++value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

TEST(Sha256, KnownAnswers) {
    EXPECT_EQ(bytesOfDigest(sha256(bytesOf("abc"))),
              hexBytes("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_EQ(bytesOfDigest(sha256({})),
              hexBytes("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
}

TEST(HmacSha256, Rfc4231Cases) {
    struct Case {
        Bytes key;
        Bytes message;
        const char* code;
    };
    const Case cases[] = {
        {repeated(0x0b, 20), text("Hi There"),
         "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
        {text("Jefe"), text("what do ya want for nothing?"),
         "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        {repeated(0xaa, 20), repeated(0xdd, 50),
         "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
        {counting(0x01, 0x19), repeated(0xcd, 50),
         "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b"},
        {repeated(0xaa, 131), text("Test Using Larger Than Block-Size Key - Hash Key First"),
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
        {repeated(0xaa, 131),
         text("This is a test using a larger than block-size key and a larger than block-size data. The key "
              "needs to be hashed before being used by the HMAC algorithm."),
         "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bytesOfDigest(hmacSha256(c.key, c.message)), hexBytes(c.code));
        EXPECT_TRUE(isValidHmacSha256(hexBytes(c.code), c.message, c.key));
    }
}

TEST(HmacSha256, ValidationNeedsTheFullCorrectCode) {
    const Bytes key = repeated(0x0b, 20);
    const Bytes code = bytesOfDigest(hmacSha256(key, bytesOf("Hi There")));
    ASSERT_TRUE(isValidHmacSha256(code, bytesOf("Hi There"), key));

    Bytes wrong = code;
    wrong.back() ^= 0x01;
    EXPECT_FALSE(isValidHmacSha256(wrong, bytesOf("Hi There"), key));
    EXPECT_FALSE(isValidHmacSha256(ByteView(code).first(31), bytesOf("Hi There"), key));
    Bytes longer = code;
    longer.push_back(0x00);
    EXPECT_FALSE(isValidHmacSha256(longer, bytesOf("Hi There"), key));
    EXPECT_FALSE(isValidHmacSha256(code, bytesOf("Hi there"), key));
}

TEST(HkdfSha256, Rfc5869Cases) {
    const Bytes ikm = repeated(0x0b, 22);
    EXPECT_EQ(
        hkdfSha256(ikm, counting(0x00, 0x0c), counting(0xf0, 0xf9), 42),
        hexBytes("3cb25f25faacd57a90434f64d0362f2a2d2d0a90cf1a5a4c5db02d56ecc4c5bf34007208d5b887185865"));
    EXPECT_EQ(
        hkdfSha256(counting(0x00, 0x4f), counting(0x60, 0xaf), counting(0xb0, 0xff), 82),
        hexBytes("b11e398dc80327a1c8e7f78c596a49344f012eda2d4efad8a050cc4c19afa97c59045a99cac7827271cb41c65e5"
                 "90e09da3275600c2f09b8367793a9aca3db71cc30c58179ec3e87c14c01d5c1f3434f1d87"));

    const Bytes noSalt = hkdfSha256(ikm, {}, {}, 42);
    EXPECT_EQ(
        noSalt,
        hexBytes("8da4e775a563c18f715f802a063c5a31b8a11f5c5ee1879ec3454e5f3c738d2d9d201395faa4b61a96c8"));
    EXPECT_EQ(hkdfSha256(ikm, repeated(0x00, 32), {}, 42), noSalt);
}

TEST(ConstantTimeEqual, ComparesLengthAndEveryByte) {
    EXPECT_TRUE(constantTimeEqual(bytesOf("secret"), bytesOf("secret")));
    EXPECT_TRUE(constantTimeEqual({}, {}));
    EXPECT_FALSE(constantTimeEqual(bytesOf("secret"), bytesOf("secreT")));
    EXPECT_FALSE(constantTimeEqual(bytesOf("secret"), bytesOf("secrets")));
    EXPECT_FALSE(constantTimeEqual(bytesOf("Secret"), bytesOf("secret")));
}

} // namespace
} // namespace kestrava::crypto
