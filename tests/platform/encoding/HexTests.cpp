#include "platform/encoding/Hex.hpp"

#include <gtest/gtest.h>

namespace {

TEST(Hex, WritesTwoLowerCaseDigitsPerByte) {
    const kestrava::Bytes bytes{0x00, 0x09, 0x0A, 0xAB, 0xF0, 0xFF};
    EXPECT_EQ(kestrava::hex::lowercase(bytes), "00090aabf0ff");
    EXPECT_EQ(kestrava::hex::lowercase({}), "");
}

} // namespace
