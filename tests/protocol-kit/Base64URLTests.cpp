#include "protocol-kit/Base64URL.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

Bytes bytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

TEST(Base64URL, EncodesWithTheUrlAlphabetAndNoPadding) {
    EXPECT_EQ(Base64URL::encode(Bytes{}), "");
    EXPECT_EQ(Base64URL::encode(Bytes{0x00}), "AA");
    EXPECT_EQ(Base64URL::encode(Bytes{0x00, 0x00}), "AAA");
    EXPECT_EQ(Base64URL::encode(Bytes{0x00, 0x00, 0x00}), "AAAA");
    EXPECT_EQ(Base64URL::encode(Bytes{0xFB, 0xFF}), "-_8");
    EXPECT_EQ(Base64URL::encode(bytes("foobar")), "Zm9vYmFy");
}

TEST(Base64URL, DecodesOnlyStrictText) {
    EXPECT_EQ(Base64URL::decode(""), Bytes{});
    EXPECT_EQ(Base64URL::decode("-_8"), (Bytes{0xFB, 0xFF}));
    EXPECT_EQ(Base64URL::decode("Zm9vYg"), bytes("foob"));
    for (const char* text :
         {"A", "AAAAA", "AAAAAAAAA", "+_8", "/_8", "-_8=", "AA==", "Zm9v Yg", "Zm9v\nYg", "Zm9vYg\xC3\xA9"}) {
        EXPECT_FALSE(Base64URL::decode(text).has_value()) << text;
    }
    EXPECT_TRUE(Base64URL::hasInvalidCharacters("ab="));
    EXPECT_FALSE(Base64URL::hasInvalidCharacters("azAZ09-_"));
}

TEST(Base64URL, EveryLengthRoundTrips) {
    Bytes data;
    for (int n = 0; n < 70; ++n) {
        EXPECT_EQ(Base64URL::encode(data).size(),
                  4 * (data.size() / 3) + (data.size() % 3 == 0 ? 0 : data.size() % 3 + 1));
        EXPECT_EQ(Base64URL::decode(Base64URL::encode(data)), data);
        data.push_back(static_cast<std::uint8_t>(n * 37 + 250));
    }
}

} // namespace
} // namespace kestrava
