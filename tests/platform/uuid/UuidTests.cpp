#include "platform/uuid/Uuid.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace {

// 8-4-4-4-12 digits of one case, version 4, variant 10xx.
void expectVersion4(const std::string& uuid, std::string_view digits) {
    ASSERT_EQ(uuid.size(), 36u) << uuid;
    for (std::size_t i = 0; i < uuid.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            EXPECT_EQ(uuid[i], '-') << uuid;
        } else {
            EXPECT_NE(digits.find(uuid[i]), std::string_view::npos) << uuid;
        }
    }
    EXPECT_EQ(uuid[14], '4') << uuid;
    EXPECT_NE(digits.substr(8, 4).find(uuid[19]), std::string_view::npos) << uuid;
}

TEST(Uuid, IsARandomVersion4InTheAskedCase) {
    for (int round = 0; round < 64; ++round) {
        expectVersion4(kestrava::uuid::randomLowercase(), "0123456789abcdef");
        expectVersion4(kestrava::uuid::randomUppercase(), "0123456789ABCDEF");
    }
    EXPECT_NE(kestrava::uuid::randomLowercase(), kestrava::uuid::randomLowercase());
}

} // namespace
