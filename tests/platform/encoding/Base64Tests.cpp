#include "platform/encoding/Base64.hpp"

#include <gtest/gtest.h>

namespace kestrava::base64 {
namespace {

TEST(Base64, EncodesTheRfc4648Vectors) {
    const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(encode(bytesOf(plain)), encoded);
        ASSERT_TRUE(decode(encoded).has_value()) << encoded;
        EXPECT_EQ(textOf(*decode(encoded)), plain);
    }
    const Bytes high{0xFB, 0xFF, 0xBF};
    EXPECT_EQ(encode(high), "+/+/");
}

TEST(Base64, DecodingIsStrict) {
    for (const char* text : {"Zg", "Zg=", "Zg===", "Z===", "====", "Zm9v\n", " Zm9v", "Zm=v", "Zm9-", "Zm9_",
                             "Zg==Zg==", "Zm9\xC3\xA9"}) {
        EXPECT_FALSE(decode(text).has_value()) << text;
    }
    // Unused low bits of the last character are not required to be zero.
    EXPECT_EQ(decode("AB=="), Bytes{0x00});
}

} // namespace
} // namespace kestrava::base64
