#include "platform/net/Https.hpp"
#include "tests/support/FakeRelay.hpp"
#include "tests/support/Thrown.hpp"

#include <gtest/gtest.h>

#include <string>

using kestrava::net::fetch;
using kestrava::net::NetError;
using kestrava::test::FakeRelay;
using kestrava::test::RegistrationAnswer;
using kestrava::test::TestCertificateAuthority;
using kestrava::test::thrownBy;
using kestrava::url::Url;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t maxBody = 64 * 1024;

Url parsed(const std::string& text) {
    return Url::parseReference(text).value();
}

Url devicesUrl(const FakeRelay& relay, const std::string& host = "127.0.0.1") {
    return parsed("https://" + host + ":" + std::to_string(relay.port()) + "/v1/devices");
}

RegistrationAnswer answer(int status, std::string body) {
    RegistrationAnswer answer;
    answer.status = status;
    answer.body = std::move(body);
    return answer;
}

std::string failureOf(const Url& url, std::chrono::seconds limit = 10s) {
    return thrownBy<NetError>([&] { fetch("POST", url, {}, "{}", limit, maxBody); }).value().what();
}

TEST(Fetch, SendsTheRequestAndReturnsTheAnswer) {
    FakeRelay relay;
    const auto created =
        fetch("POST", devicesUrl(relay), {{"Content-Type", "application/json"}, {"x-kv-v", "1"}},
              R"({"v":1})", 10s, maxBody);
    EXPECT_EQ(created.status, 201);
    EXPECT_EQ(created.body, R"({"deviceId":"dev-1","agentToken":"tok-1"})");

    const auto requests = relay.registrations();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, "/v1/devices");
    EXPECT_EQ(requests[0].body, R"({"v":1})");
    EXPECT_EQ(requests[0].header("host"), "127.0.0.1:" + std::to_string(relay.port()));
    EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
    EXPECT_EQ(requests[0].header("x-kv-v"), "1");
    EXPECT_EQ(requests[0].header("Content-Length"), "7");

    // By name: the server name is sent and checked, the query goes along.
    const auto url = parsed("https://localhost:" + std::to_string(relay.port()) + "/v1/devices?a=1");
    EXPECT_EQ(fetch("POST", url, {}, "", 10s, maxBody).status, 201);
    EXPECT_EQ(relay.registrations().at(1).target, "/v1/devices?a=1");
    EXPECT_EQ(relay.registrations().at(1).header("Host"), "localhost:" + std::to_string(relay.port()));
}

TEST(Fetch, ReturnsAnyStatusWithoutFollowingRedirects) {
    FakeRelay relay;
    relay.scriptRegistrations({answer(503, "busy"), answer(302, ""), answer(200, "{}")});
    const auto busy = fetch("POST", devicesUrl(relay), {}, "{}", 10s, maxBody);
    EXPECT_EQ(busy.status, 503);
    EXPECT_EQ(busy.body, "busy");
    EXPECT_EQ(fetch("POST", devicesUrl(relay), {}, "{}", 10s, maxBody).status, 302);
    EXPECT_EQ(relay.registrations().size(), 2u);
}

TEST(Fetch, FailsWithTheStageAndTheReason) {
    FakeRelay relay;
    relay.scriptRegistrations({answer(201, std::string(maxBody + 1, 'x')), RegistrationAnswer::never()});
    EXPECT_EQ(failureOf(devicesUrl(relay)), "read: body too large");
    EXPECT_EQ(failureOf(devicesUrl(relay), 1s), "read: The socket was closed due to a timeout");

    FakeRelay stranger(TestCertificateAuthority{});
    const std::string untrusted = failureOf(devicesUrl(stranger));
    EXPECT_EQ(untrusted.rfind("TLS handshake: ", 0), 0u) << untrusted;
    EXPECT_NE(untrusted.find("certificate verify failed"), std::string::npos) << untrusted;
    EXPECT_TRUE(stranger.registrations().empty());

    const std::uint16_t closedPort = FakeRelay().port();
    EXPECT_EQ(failureOf(parsed("https://127.0.0.1:" + std::to_string(closedPort) + "/")),
              "connect: Connection refused");
    EXPECT_EQ(failureOf(parsed("ftp://127.0.0.1/")), "unsupported URL");
    // Addresses that would reach some other server than the one written: a port past 65535 wrapping
    // round to the live relay's, a host cut at an encoded NUL.
    const std::string port = std::to_string(relay.port());
    const std::size_t reached = relay.registrations().size();
    for (const std::string& text :
         {"https://127.0.0.1:" + std::to_string(relay.port() + 65536) + "/",
          "https://localhost%00.example.com:" + port + "/", std::string("https://127.0.0.1:0/")}) {
        EXPECT_EQ(failureOf(parsed(text)), "unsupported URL") << text;
    }
    EXPECT_EQ(relay.registrations().size(), reached);
}

} // namespace
