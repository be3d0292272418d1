#include "platform/url/Url.hpp"

#include <gtest/gtest.h>

#include <optional>

using kestrava::url::Url;

namespace {

// The URL of a text the test knows to be valid; a refusal throws and fails the test.
Url parsed(std::string_view text) {
    return Url::parseReference(text).value();
}

TEST(Url, KeepsTheTextAsWritten) {
    const auto url = parsed("HTTPS://Relay.Example.NET:8443/a/../b/?x=%7e#Frag");
    EXPECT_EQ(url.absoluteString(), "HTTPS://Relay.Example.NET:8443/a/../b/?x=%7e#Frag");
    EXPECT_EQ(url.scheme(), "HTTPS");
    EXPECT_EQ(url.host(), "Relay.Example.NET");
    EXPECT_EQ(parsed("https://relay.example.net").absoluteString(), "https://relay.example.net");
    EXPECT_EQ(parsed("https://a"), parsed("https://a"));
    EXPECT_NE(parsed("https://a"), parsed("https://a/"));
    EXPECT_NE(parsed("https://a"), parsed("HTTPS://a"));
}

TEST(Url, AcceptsRelativeReferences) {
    for (const std::string_view text : {"", "/path", "path/x", "?q=1", "#f", "//host/p", "./a:b"}) {
        const auto url = Url::parseReference(text);
        ASSERT_TRUE(url) << text;
        EXPECT_EQ(url->scheme(), std::nullopt) << text;
    }
    EXPECT_EQ(parsed("//host/p").host(), "host");
}

TEST(Url, RefusesTextOutsideTheGrammar) {
    for (const std::string_view text :
         {"https://a b",        "https://a/b c",   "https://a/%zz",  "https://a/%4",
          "https://a/?q=%",     "ht tp://a",       "1http://a",      "https://\xC3\xA9.example",
          "https://a/\xC3\xA9", "https://[::1/",   "https://[::g]/", "https://a:8x/",
          "https://a@b@c/",     "https://[::1]x/", "https://a:b:c/", "https://a/#f#g",
          "https://a/\\b",      "https://a/<b>",   "https://a/\"",   "a:b\nc",
          ":no-scheme"}) {
        EXPECT_EQ(Url::parseReference(text), std::nullopt) << text;
    }
}

TEST(Url, HostIsDecodedAndUnbracketed) {
    EXPECT_EQ(parsed("https://www%2Droot.example/").host(), "www-root.example");
    EXPECT_EQ(parsed("https://[::1]:8443/").host(), "::1");
    EXPECT_EQ(parsed("https://[2001:db8::7]").host(), "2001:db8::7");
    EXPECT_EQ(parsed("https://127.0.0.1/").host(), "127.0.0.1");
    EXPECT_EQ(parsed("https://user:pw@h:1/").host(), "h");
    EXPECT_EQ(parsed("file:///etc").host(), "");
    EXPECT_EQ(parsed("mailto:a@b").host(), std::nullopt);
    EXPECT_EQ(parsed("/p").host(), std::nullopt);
    EXPECT_EQ(parsed("https://%FF/").host(), std::nullopt);
}

TEST(Url, NamesAServerOnlyWithAHostAndAPortInRange) {
    for (const std::string_view text :
         {"https://h", "https://h:/", "https://h:65535", "https://h:00443", "https://u:p@[::1]:1/p",
          "wss://127.0.0.1:8443/v1", "https://www%2Droot.example"}) {
        EXPECT_TRUE(parsed(text).namesServer()) << text;
    }
    for (const std::string_view text :
         {"https://", "https://:443/", "/p", "mailto:a@b", "https://h:0", "https://h:000", "https://h:65536",
          "https://h:99999", "https://h:184467440737095516160", "https://a%00b.example", "https://%00",
          "https://%FF/", "https://[v1.x]/"}) {
        EXPECT_FALSE(parsed(text).namesServer()) << text;
    }
}

TEST(Url, QueryItemsSplitAtAmpersandThenFirstEquals) {
    const auto url = parsed("x://h?a=1&b&c=&=d&e=f=g&p=%26%3D+");
    EXPECT_EQ(url.percentEncodedQuery(), "a=1&b&c=&=d&e=f=g&p=%26%3D+");
    const auto items = url.percentEncodedQueryItems();
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 6u);
    const std::vector<std::pair<std::string, std::optional<std::string>>> expected{
        {"a", "1"}, {"b", std::nullopt}, {"c", ""}, {"", "d"}, {"e", "f=g"}, {"p", "%26%3D+"}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ((*items)[i].name, expected[i].first) << i;
        EXPECT_EQ((*items)[i].value, expected[i].second) << i;
    }
}

TEST(Url, EmptyAndMissingQueries) {
    EXPECT_EQ(parsed("x:").percentEncodedQuery(), std::nullopt);
    EXPECT_EQ(parsed("x:#?a=1").percentEncodedQueryItems(), std::nullopt);

    // A "?" with nothing after it is an empty query, present but without items.
    EXPECT_EQ(parsed("x:?").percentEncodedQuery(), "");
    const auto none = parsed("x:?#f").percentEncodedQueryItems();
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());

    const auto blanks = parsed("x:?&").percentEncodedQueryItems();
    ASSERT_TRUE(blanks);
    ASSERT_EQ(blanks->size(), 2u);
    EXPECT_EQ((*blanks)[0].name, "");
    EXPECT_EQ((*blanks)[0].value, std::nullopt);
}

} // namespace
