#include "platform/url/PercentEncoding.hpp"
#include "platform/url/Url.hpp"

#include <gtest/gtest.h>

using kestrava::url::Url;

namespace {

Url parsed(std::string_view text) {
    return Url::parseReference(text).value();
}

TEST(UrlComponentEdit, AppendingPathComponentPutsExactlyOneSlash) {
    const auto appended = [](std::string_view text) {
        return parsed(text).appendingPathComponent("v1/devices").absoluteString();
    };
    EXPECT_EQ(appended("https://h"), "https://h/v1/devices");
    EXPECT_EQ(appended("https://h/"), "https://h/v1/devices");
    EXPECT_EQ(appended("https://h/base"), "https://h/base/v1/devices");
    EXPECT_EQ(appended("https://h/base/"), "https://h/base/v1/devices");
    EXPECT_EQ(appended("https://h:8443/a%2Fb?x=1#f"), "https://h:8443/a%2Fb/v1/devices?x=1#f");
}

TEST(UrlComponentEdit, QueryIsReplacedOrAdded) {
    EXPECT_EQ(parsed("https://h/p?a=1&b").withEncodedQuery("c=2").absoluteString(), "https://h/p?c=2");
    EXPECT_EQ(parsed("https://h#f").withEncodedQuery("c=2").absoluteString(), "https://h?c=2#f");
    EXPECT_EQ(parsed("https://h/p").withEncodedQuery("").absoluteString(), "https://h/p?");
}

TEST(UrlComponentEdit, QueryItemCharactersKeepOnlyWhatCannotSplitAnItem) {
    const auto encoded = [](std::string_view text) {
        return kestrava::url::percentEncode(text, kestrava::url::isQueryItemCharacter);
    };
    EXPECT_EQ(encoded("Az09-._~!$'()*+,;:@/?"), "Az09-._~!$'()*+,;:@/?");
    EXPECT_EQ(encoded("a b&c=d%e#f[g]\"<>\\^`{|}"),
              "a%20b%26c%3Dd%25e%23f%5Bg%5D%22%3C%3E%5C%5E%60%7B%7C%7D");
    EXPECT_EQ(encoded("\xC3\xA9\x7F\n"), "%C3%A9%7F%0A");
}

} // namespace
