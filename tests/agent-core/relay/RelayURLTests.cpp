#include "agent-core/relay/RelayURL.hpp"
#include "platform/url/PercentEncoding.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

std::string relayFor(std::string_view backend, std::string_view deviceId = "D") {
    return relayWebSocketURL(url::Url::parseReference(backend).value(), deviceId).absoluteString();
}

TEST(RelayURL, SchemePathAndQueryFollowTheBackend) {
    EXPECT_EQ(relayFor("https://h/base/"), "wss://h/base/v1/agent?device=D");
    EXPECT_EQ(relayFor("https://h"), "wss://h/v1/agent?device=D");
    EXPECT_EQ(relayFor("https://h/"), "wss://h/v1/agent?device=D");
    EXPECT_EQ(relayFor("https://h/a//"), "wss://h/a//v1/agent?device=D");
    EXPECT_EQ(relayFor("https://h/a"), "wss://h/a/v1/agent?device=D");
    EXPECT_EQ(relayFor("HTTP://h:8080/x?old=1&device=E#frag"), "ws://h:8080/x/v1/agent?device=D#frag");
    EXPECT_EQ(relayFor("hTtP://user@h"), "ws://user@h/v1/agent?device=D");
    EXPECT_EQ(relayFor("httpx://h"), "wss://h/v1/agent?device=D");
    EXPECT_EQ(relayFor("//h/p"), "wss://h/p/v1/agent?device=D");
    EXPECT_EQ(relayFor("https://[::1]:9/p%2Fq/"), "wss://[::1]:9/p%2Fq/v1/agent?device=D");
}

TEST(RelayURL, DeviceIsEncodedAsOneQueryItem) {
    EXPECT_EQ(relayFor("https://h", "3f1c-AB_9.~"), "wss://h/v1/agent?device=3f1c-AB_9.~");
    EXPECT_EQ(relayFor("https://h", "a b&c=d/e?f%g:h@i!$'()*+,;\xC3\xA9#"),
              "wss://h/v1/agent?device=a%20b%26c%3Dd/e?f%25g:h@i!$'()*+,;%C3%A9%23");
    const auto items = relayWebSocketURL(url::Url::parseReference("https://h?x").value(), "a&b=c")
                           .percentEncodedQueryItems()
                           .value();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].name, "device");
    EXPECT_EQ(url::percentDecode(items[0].value.value()), "a&b=c");
}

} // namespace
} // namespace kestrava
