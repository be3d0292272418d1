#include "agent-core/relay/BackendURL.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

url::Url urlOf(std::string_view text) {
    return *url::Url::parseReference(text);
}

std::string refusal(std::string_view text, bool allowHTTP = false, bool isDebug = false) {
    try {
        BackendURL::validate(urlOf(text), allowHTTP, isDebug);
        return "accepted";
    } catch (const BackendURL::Error& error) {
        return error.what();
    }
}

TEST(BackendURL, OnlyHttpsUnlessPlainHttpIsAllowed) {
    EXPECT_EQ(refusal("https://relay.example.com"), "accepted");
    EXPECT_EQ(refusal("HTTPS://relay.example.com/x"), "accepted");
    EXPECT_EQ(refusal("http://h"),
              "backend URL http://h is not https; plain http is refused in release builds (use "
              "a Debug build for local development)");
    EXPECT_EQ(refusal("http://h", true, false), "accepted");
    EXPECT_EQ(refusal("http://h", false, true), "accepted");
    EXPECT_EQ(refusal("wss://h", true, true), "backend URL wss://h must use https");
    EXPECT_EQ(refusal("relay.example.com", true, true), "backend URL relay.example.com must use https");
    EXPECT_TRUE(BackendURL::defaultURL().absoluteString().starts_with("https://"));
    EXPECT_EQ(refusal(BackendURL::defaultURL().absoluteString()), "accepted");
}

TEST(BackendURL, RefusesAddressesThatNameNoServerAndNeverLogsAPassword) {
    EXPECT_EQ(refusal("https://h:65535/p"), "accepted");
    for (const std::string_view text : {"https:relative", "https://", "https://h:0", "https://h:99999",
                                        "https://a%00.evil.example", "http://h:70000"}) {
        EXPECT_EQ(refusal(text, true),
                  "backend URL " + std::string(text) + " names no host and port to connect to");
    }
    EXPECT_EQ(refusal("https://user:pw@h:0/p"),
              "backend URL https://***@h:0/p names no host and port to connect to");
    EXPECT_EQ(refusal("ftp://user:pw@h"), "backend URL ftp://***@h must use https");
    EXPECT_EQ(refusal("http://user@h/a@b"),
              "backend URL http://***@h/a@b is not https; plain http is refused in release builds (use "
              "a Debug build for local development)");
    EXPECT_EQ(BackendURL::defaultURL().encodedPath(), "");
}

TEST(BackendURL, KeysIgnoreCaseOfSchemeAndHostAndTrailingSlashes) {
    const auto key = [](std::string_view text) { return backendKey(urlOf(text)); };
    EXPECT_EQ(key("HTTPS://Relay.Example.COM/api//"), key("https://relay.example.com/api"));
    EXPECT_EQ(key("https://relay.example.com/"), key("https://relay.example.com"));
    EXPECT_EQ(key("https://h///"), "https://h");
    EXPECT_NE(key("https://h:443"), key("https://h"));
    EXPECT_NE(key("https://h/API"), key("https://h/api"));
    EXPECT_NE(key("https://h/?a=1"), key("https://h/"));
    EXPECT_EQ(key("https://User@H/P/"), "https://User@h/P");
}

} // namespace
} // namespace kestrava
