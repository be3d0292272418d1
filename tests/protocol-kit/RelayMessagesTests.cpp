#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"
#include "protocol-kit/AgentIn.hpp"
#include "protocol-kit/AgentOut.hpp"
#include "protocol-kit/PhoneEvent.hpp"
#include "tests/support/Thrown.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

// The relay format: compact, members in table order, "/" escaped.
template<class Message>
std::string relayText(const Message& message) {
    return json::write(message.encode(), {});
}

const Bytes box{0xFB, 0xFF, 0x00, 0x2F};

TEST(RelayMessages, AgentOutHasTheFixedBytes) {
    const std::pair<AgentOut, std::string> cases[] = {
        {{AgentOut::Hello{1, "0.1.1", "Anna/PC"}},
         R"({"t":"hello","v":1,"agentVersion":"0.1.1","macName":"Anna\/PC"})"},
        {{AgentOut::E2E{"P", "r-1", box}}, R"({"t":"e2e","phoneId":"P","rid":"r-1","box":"-_8ALw"})"},
        {{AgentOut::PairingOpen{"ab12", 1700000000123}},
         R"({"t":"pairingOpen","secretHash":"ab12","expiresAt":1700000000123})"},
        {{AgentOut::PairingDecision{"q", true, "P"}},
         R"({"t":"pairingDecision","requestId":"q","approve":true,"phoneId":"P"})"},
        {{AgentOut::PairingDecision{"q", false, std::nullopt}},
         R"({"t":"pairingDecision","requestId":"q","approve":false})"},
        {{AgentOut::Revoke{"P"}}, R"({"t":"revoke","phoneId":"P"})"},
        {{AgentOut::Goodbye{"pause"}}, R"({"t":"goodbye","reason":"pause"})"},
        {{AgentOut::Goodbye{}}, R"({"t":"goodbye"})"},
        {{AgentOut::Rename{"M"}}, R"({"t":"rename","macName":"M"})"},
        {{AgentOut::Complete{"r-1"}}, R"({"t":"complete","rid":"r-1"})"},
    };
    for (const auto& [message, text] : cases) {
        EXPECT_EQ(relayText(message), text);
        EXPECT_EQ(test::decodeJson<AgentOut>(text), message) << text;
    }
}

TEST(RelayMessages, AgentInAndPhoneEventRoundTrip) {
    const PairingRequest request{Bytes(65, 4), Bytes(65, 5), Bytes(40, 6), Bytes(32, 7),
                                 std::string(64, 'a')};
    const AgentIn agentIn[] = {{AgentIn::E2E{"P", "r", box}},           {AgentIn::E2E{"P", "r", {}}},
                               {AgentIn::PairingRequest{"q", request}}, {AgentIn::PhoneRemoved{"P"}},
                               {AgentIn::Phones{{"b", "a", "b"}}},      {AgentIn::Phones{{}}}};
    for (const AgentIn& message : agentIn) {
        EXPECT_EQ(test::decodeJson<AgentIn>(relayText(message)), message) << relayText(message);
    }
    EXPECT_EQ(relayText(agentIn[4]), R"({"t":"phones","phoneIds":["b","a","b"]})");

    const PhoneEvent events[] = {{PhoneEvent::Presence{true, 17, "agent"}},
                                 {PhoneEvent::Presence{false, -1, std::nullopt}},
                                 {PhoneEvent::E2E{"r", box}},
                                 {PhoneEvent::Lost{"r"}}};
    for (const PhoneEvent& event : events) {
        EXPECT_EQ(test::decodeJson<PhoneEvent>(relayText(event)), event) << relayText(event);
    }
    EXPECT_EQ(relayText(events[1]), R"({"t":"presence","online":false,"lastSeen":-1})");
}

TEST(RelayMessages, ReadersTakeWhatTheRelayMaySend) {
    // Unescaped slashes, other members' keys, null optionals and duplicate keys (first wins).
    EXPECT_EQ(test::decodeJson<AgentOut>(
                  R"({"approve":false,"t":"pairingDecision","requestId":"a/b","phoneId":null})"),
              (AgentOut{AgentOut::PairingDecision{"a/b", false, std::nullopt}}));
    EXPECT_EQ(test::decodeJson<AgentOut>(R"({"t":"revoke","phoneId":"P","box":"!!"})"),
              (AgentOut{AgentOut::Revoke{"P"}}));
    EXPECT_EQ(test::decodeJson<AgentIn>(R"({"t":"phoneRemoved","t":"phones","phoneId":"P"})"),
              (AgentIn{AgentIn::PhoneRemoved{"P"}}));
}

TEST(RelayMessages, RefusalsNameTheFirstBadKey) {
    using Kind = json::DecodeError::Kind;
    const auto expect = [](const json::DecodeError& error, Kind kind, const std::string& key,
                           const std::string& what = {}) {
        EXPECT_EQ(error.kind(), kind);
        EXPECT_EQ(error.key(), key);
        if (!what.empty()) {
            EXPECT_STREQ(error.what(), what.c_str());
        }
    };
    expect(test::decodeFailure<AgentIn>(R"({"t":"ping"})"), Kind::dataCorrupted, "t", "unknown t ping");
    expect(test::decodeFailure<AgentOut>(R"({"t":"Hello","v":1})"), Kind::dataCorrupted, "t",
           "unknown t Hello");
    expect(test::decodeFailure<PhoneEvent>(R"({"t":"E2E"})"), Kind::dataCorrupted, "t", "unknown t E2E");
    expect(test::decodeFailure<AgentIn>(R"({"phoneId":"P"})"), Kind::keyNotFound, "t");
    expect(test::decodeFailure<AgentIn>(R"({"t":7})"), Kind::typeMismatch, "t");
    for (const char* badBox : {"AA==", "+_8", "/_8", "A"}) {
        expect(test::decodeFailure<AgentIn>(std::string(R"({"t":"e2e","phoneId":"P","rid":"r","box":")") +
                                            badBox + "\"}"),
               Kind::dataCorrupted, "box", "invalid base64url");
    }
    expect(test::decodeFailure<AgentIn>(R"({"t":"e2e","rid":5,"box":"!"})"), Kind::keyNotFound, "phoneId");
    expect(test::decodeFailure<AgentIn>(R"({"t":"e2e","phoneId":"P","rid":5,"box":"!"})"), Kind::typeMismatch,
           "rid");
    expect(test::decodeFailure<AgentIn>(R"({"t":"e2e","phoneId":null,"rid":"r","box":""})"),
           Kind::valueNotFound, "phoneId");
    expect(test::decodeFailure<AgentIn>(R"({"t":"phones","phoneIds":["a",1]})"), Kind::typeMismatch,
           "Index 1");
    expect(test::decodeFailure<AgentOut>(R"({"t":"hello","v":1.5,"agentVersion":"x","macName":"m"})"),
           Kind::dataCorrupted, "v");
    expect(test::decodeFailure<AgentIn>(
               R"({"t":"pairingRequest","requestId":"q","request":{"phoneSignPub":"AA"}})"),
           Kind::keyNotFound, "phoneAgreePub");
}

} // namespace
} // namespace kestrava
