#include "agent-core/relay/Registration.hpp"
#include "platform/json/Reader.hpp"
#include "platform/net/Https.hpp"
#include "tests/support/FakeRelay.hpp"
#include "tests/support/Thrown.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

using test::FakeRelay;
using test::RegistrationAnswer;
using test::thrownBy;

// A relay that answers every registration with `status` and `body`.
Registration::Response registeredWith(FakeRelay& relay, int status, std::string body) {
    relay.scriptRegistrations({{.status = status, .body = std::move(body)}});
    return Registration::registerDevice(relay.baseUrl(), "Mac");
}

template<class Error>
Error failureWith(int status, std::string body) {
    FakeRelay relay;
    return thrownBy<Error>([&] { registeredWith(relay, status, std::move(body)); }).value();
}

std::string unusable(std::string_view deviceId, std::string_view token) {
    return failureWith<Registration::Error>(201, R"({"deviceId":")" + std::string(deviceId) +
                                                     R"(","agentToken":")" + std::string(token) + "\"}")
        .what();
}

TEST(Registration, PostsTheNameAndReturnsTheGrantedIdentity) {
    FakeRelay relay;
    const auto granted =
        registeredWith(relay, 201, R"({"deviceId":"dev-7","agentToken":"tok-7","extra":[1,{}]})");
    EXPECT_EQ(granted, (Registration::Response{"dev-7", "tok-7"}));
    EXPECT_EQ(registeredWith(relay, 200, R"({"agentToken":"t","deviceId":"d"})"),
              (Registration::Response{"d", "t"}));

    relay.scriptRegistrations({{}});
    Registration::registerDevice(url::Url::parseReference(relay.baseUrl().absoluteString() + "/").value(),
                                 "Ann's Mac/\xC3\xA9");
    const auto requests = relay.registrations();
    ASSERT_EQ(requests.size(), 3u);
    const auto& request = requests.back();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/v1/devices");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.header("x-kv-v"), "1");
    EXPECT_EQ(request.body, "{\"v\":1,\"macName\":\"Ann's Mac\\/\xC3\xA9\"}");
}

TEST(Registration, StatusesOtherThan200And201AreBadServerResponses) {
    for (const int status : {204, 301, 401, 409, 500}) {
        // A good identity does not make another status acceptable (204 carries no body at all).
        const auto error = failureWith<Registration::Error>(
            status, status == 204 ? "" : R"({"deviceId":"d","agentToken":"t"})");
        EXPECT_EQ(error.kind(), Registration::Error::Kind::badServerResponse);
        EXPECT_EQ(error.status(), status);
        EXPECT_EQ(std::string(error.what()), "bad server response (HTTP " + std::to_string(status) + ")");
    }
}

TEST(Registration, AnswersOfAnotherShapeAreDecodingErrors) {
    using Kind = json::DecodeError::Kind;
    EXPECT_EQ(failureWith<json::DecodeError>(201, "<html>").kind(), Kind::dataCorrupted);
    EXPECT_EQ(failureWith<json::DecodeError>(201, "").kind(), Kind::dataCorrupted);
    EXPECT_EQ(failureWith<json::DecodeError>(201, R"({"deviceId":"d"})").kind(), Kind::keyNotFound);
    EXPECT_EQ(failureWith<json::DecodeError>(201, R"({"deviceId":7,"agentToken":"t"})").kind(),
              Kind::typeMismatch);
    EXPECT_EQ(failureWith<json::DecodeError>(201, "[]").kind(), Kind::typeMismatch);
}

TEST(Registration, OversizedOrPoisonedAnswersAreRefused) {
    const std::string small = R"({"deviceId":"d","agentToken":"t"})";
    FakeRelay relay;
    const std::string padded = small + std::string(Registration::maxAnswerBody - small.size(), ' ');
    EXPECT_EQ(registeredWith(relay, 201, padded).deviceId, "d");
    thrownBy<net::NetError>([&] { registeredWith(relay, 201, padded + " "); });

    const std::string longest(Registration::maxAnswerField, 'x');
    EXPECT_EQ(
        registeredWith(relay, 201, R"({"deviceId":")" + longest + R"(","agentToken":")" + longest + "\"}"),
        (Registration::Response{longest, longest}));

    EXPECT_EQ(unusable("", "t"), "unusable registration answer: deviceId is empty");
    EXPECT_EQ(unusable("d", ""), "unusable registration answer: agentToken is empty");
    EXPECT_EQ(unusable(longest + "x", "t"),
              "unusable registration answer: deviceId is longer than 256 bytes");
    EXPECT_EQ(unusable("d", longest + "x"),
              "unusable registration answer: agentToken is longer than 256 bytes");
    EXPECT_EQ(unusable("d\\nx", "t"), "unusable registration answer: deviceId holds a control character");
    EXPECT_EQ(unusable("d\\u0000", "t"), "unusable registration answer: deviceId holds a control character");
    EXPECT_EQ(unusable("d\xE2\x80\x8B", "t"),
              "unusable registration answer: deviceId holds a control character");
    EXPECT_EQ(unusable("d", "t\\r\\nX-Evil: 1"),
              "unusable registration answer: agentToken holds a control character");
    EXPECT_EQ(unusable("d", "tok en"), "unusable registration answer: agentToken is not visible ASCII");
    EXPECT_EQ(unusable("d", "t\xC3\xB8k"), "unusable registration answer: agentToken is not visible ASCII");
    // Identifiers may be any plain text.
    EXPECT_EQ(registeredWith(relay, 201, R"({"deviceId":"Ann's d\u00e9vice","agentToken":"!~"})").deviceId,
              "Ann's d\xC3\xA9vice");
}

TEST(Registration, TransportFailuresAreThrownUnchanged) {
    FakeRelay silent;
    silent.scriptRegistrations({RegistrationAnswer::never()});
    const auto timedOut = thrownBy<net::NetError>(
        [&] { Registration::registerDevice(silent.baseUrl(), "Mac", std::chrono::seconds(1)); });
    EXPECT_FALSE(std::string(timedOut.value().what()).empty());

    const test::TestCertificateAuthority stranger;
    FakeRelay untrusted(stranger);
    thrownBy<net::NetError>([&] { Registration::registerDevice(untrusted.baseUrl(), "Mac"); });
    EXPECT_TRUE(untrusted.registrations().empty());
}

} // namespace
} // namespace kestrava
