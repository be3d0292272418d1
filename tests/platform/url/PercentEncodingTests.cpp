#include "platform/url/PercentEncoding.hpp"

#include <gtest/gtest.h>

#include <optional>

using namespace std::string_literals;
using kestrava::url::percentDecode;

namespace {

TEST(PercentEncoding, UnreservedSetIsTheSixtySixCharacters) {
    std::string unreserved;
    for (int byte = 0; byte < 256; ++byte) {
        if (kestrava::url::isUnreserved(static_cast<unsigned char>(byte))) {
            unreserved.push_back(static_cast<char>(byte));
        }
    }
    EXPECT_EQ(unreserved, "-.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz~");
}

TEST(PercentEncoding, EncodesEveryOtherByteInUpperCaseHex) {
    const auto encode = [](std::string_view text) {
        return kestrava::url::percentEncode(text, kestrava::url::isUnreserved);
    };
    EXPECT_EQ(encode("Az09-._~"), "Az09-._~");
    EXPECT_EQ(encode("a b/:&=+%"), "a%20b%2F%3A%26%3D%2B%25");
    EXPECT_EQ(encode("\xC3\xA9\xF0\x9F\x98\x80"), "%C3%A9%F0%9F%98%80");
    EXPECT_EQ(encode("\0"s), "%00");
}

TEST(PercentEncoding, DecodesWellFormedEscapesOfEitherCase) {
    EXPECT_EQ(percentDecode(""), "");
    EXPECT_EQ(percentDecode("a%20b"), "a b");
    EXPECT_EQ(percentDecode("%c3%A9t%C3%a9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(percentDecode("%2525"), "%25");
    EXPECT_EQ(percentDecode("a%00b"), "a\0b"s);
    EXPECT_EQ(percentDecode("a+b"), "a+b");
    EXPECT_EQ(percentDecode("%2B"), "+");
}

TEST(PercentEncoding, RefusesMalformedEscapesAndInvalidUtf8) {
    for (const std::string_view text : {"%", "a%", "%2", "a%2", "%G0", "%0G", "% 20", "%%41", "%FF", "%C3",
                                        "%C0%80", "%ED%A0%80", "\xFF", "%E2%82"}) {
        EXPECT_EQ(percentDecode(text), std::nullopt) << text;
    }
}

} // namespace
