#include "platform/url/HiddenUserInfo.hpp"

#include <gtest/gtest.h>

#include <utility>

using kestrava::url::hidingUserInfo;

namespace {

TEST(HiddenUserInfo, ReplacesEverythingBeforeTheAuthoritysLastAt) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"https://anna:pw@relay.example.com/", "https://***@relay.example.com/"},
        {"https://a@b@c:1?x@y", "https://***@c:1?x@y"},
        {"//pw@h", "//***@h"},
        {"https://p w@h\n", "https://***@h\n"},
        {"https://h/a@b", "https://h/a@b"},
        {"https://h#@x", "https://h#@x"},
        {"mailto:a@b", "mailto:a@b"},
        {"https:/x//a@b", "https:/x//a@b"},
        {"", ""},
    };
    for (const auto& [text, hidden] : cases) {
        EXPECT_EQ(hidingUserInfo(text), hidden) << text;
    }
}

} // namespace
