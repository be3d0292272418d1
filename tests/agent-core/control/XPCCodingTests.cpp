#include "agent-core/control/AgentStatus.hpp"
#include "agent-core/control/ConnectionState.hpp"
#include "agent-core/control/PairingOutcome.hpp"
#include "agent-core/control/PendingPairingInfo.hpp"
#include "agent-core/control/PhoneInfo.hpp"
#include "agent-core/control/XPCCoding.hpp"
#include "tests/support/Thrown.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using Kind = json::DecodeError::Kind;

template<class T>
json::DecodeError failure(std::string_view text) {
    return test::thrownBy<json::DecodeError>([&] { XPCCoding::decode<T>(text); }).value();
}

template<class T>
void expectBytes(const T& value, std::string_view bytes) {
    EXPECT_EQ(XPCCoding::encode(value), bytes);
    EXPECT_EQ(XPCCoding::decode<T>(bytes), value) << bytes;
}

TEST(ConnectionState, EachCaseHasItsExactBytesAndComparesByPayload) {
    expectBytes(ConnectionState{ConnectionState::Reconnecting{5}}, R"({"nextIn":5,"state":"reconnecting"})");
    expectBytes(ConnectionState{ConnectionState::Error{"relay/down"}},
                R"({"message":"relay\/down","state":"error"})");
    expectBytes(ConnectionState{ConnectionState::Connected{}}, R"({"state":"connected"})");
    expectBytes(ConnectionState{ConnectionState::RemovedByRelay{}}, R"({"state":"removedByRelay"})");
    expectBytes(ConnectionState{ConnectionState::IdentityConflict{}}, R"({"state":"identityConflict"})");
    expectBytes(ConnectionState{ConnectionState::Paused{}}, R"({"state":"paused"})");

    EXPECT_NE(ConnectionState{ConnectionState::Error{"a"}}, ConnectionState{ConnectionState::Error{"b"}});
    EXPECT_NE(ConnectionState{ConnectionState::Reconnecting{1}},
              ConnectionState{ConnectionState::Reconnecting{2}});
    EXPECT_NE(ConnectionState{ConnectionState::Connected{}}, ConnectionState{ConnectionState::Paused{}});
    // A member the case does not use is ignored.
    EXPECT_EQ(XPCCoding::decode<ConnectionState>(R"({"state":"paused","nextIn":3})"),
              ConnectionState{ConnectionState::Paused{}});
}

TEST(XPCCoding, StatusSortsEveryKeyEscapesSlashesAndKeepsBootTimeInSeconds) {
    const Timestamp boot = timestampFromSeconds(1'700'000'000);
    AgentStatus status{ConnectionState{ConnectionState::Connected{}},
                       StatusSnapshot{3600, boot + 250ms, 42, true, -1, true, false, true, "0.1.1"},
                       "dev/1",
                       "Anna's PC",
                       "0.1.1",
                       false};
    EXPECT_EQ(XPCCoding::encode(status),
              R"({"agentVersion":"0.1.1","connection":{"state":"connected"},"deviceId":"dev\/1",)"
              R"("macName":"Anna's PC","monitoringPaused":false,"snapshot":{"agentVersion":"0.1.1",)"
              R"("bootTime":1700000000,"freeMemPct":42,"hasFullDiskAccess":true,"isLaptop":false,)"
              R"("onACPower":true,"pmsetSleep":-1,"sleepSafe":true,"uptimeSec":3600}})");
    AgentStatus decoded = status;
    decoded.snapshot.bootTime = boot;
    EXPECT_EQ(XPCCoding::decode<AgentStatus>(XPCCoding::encode(status)), decoded);

    status.deviceId.reset();
    status.monitoringPaused = true;
    const std::string withoutDevice = XPCCoding::encode(status);
    EXPECT_EQ(withoutDevice.find("deviceId"), std::string::npos);
    EXPECT_EQ(XPCCoding::decode<AgentStatus>(withoutDevice).deviceId, std::nullopt);
    const std::string nullDevice = R"({"deviceId":null,)" + withoutDevice.substr(1);
    EXPECT_EQ(XPCCoding::decode<AgentStatus>(nullDevice).deviceId, std::nullopt);
}

TEST(XPCCoding, PhoneDatesAreMillisecondsWithAFractionOnlyWhenThereIsOne) {
    const PhoneInfo first{"p/1", "Anna's phone", Timestamp(1s), std::nullopt};
    expectBytes(first, R"({"name":"Anna's phone","pairedAt":1000,"phoneId":"p\/1"})");
    const Timestamp paired = timestampFromMilliseconds(1'700'000'000'123);
    const PhoneInfo second{"p2", "Ben", paired, paired + 500us};
    expectBytes(second,
                R"({"lastUsed":1700000000123.5,"name":"Ben","pairedAt":1700000000123,"phoneId":"p2"})");
    expectBytes(PhoneInfo{"p3", "Old", Timestamp(-1500us), std::nullopt},
                R"({"name":"Old","pairedAt":-1.5,"phoneId":"p3"})");

    const std::vector<PhoneInfo> phones{first, second};
    EXPECT_EQ(XPCCoding::encode(phones),
              "[" + XPCCoding::encode(first) + "," + XPCCoding::encode(second) + "]");
    EXPECT_EQ(XPCCoding::decode<std::vector<PhoneInfo>>(XPCCoding::encode(phones)), phones);
    EXPECT_EQ(XPCCoding::encode(std::vector<PhoneInfo>{}), "[]");

    // Any JSON number reads as a date; null is an absent last use.
    for (const char* pairedAt : {"1000", "1000.0", "1e3"}) {
        const auto read = XPCCoding::decode<PhoneInfo>(
            std::string(R"({"phoneId":"p/1","name":"Anna's phone","lastUsed":null,"pairedAt":)") + pairedAt +
            "}");
        EXPECT_EQ(read, first) << pairedAt;
    }
}

TEST(XPCCoding, PendingRequestAndPairingOutcomes) {
    expectBytes(
        PendingPairingInfo{"r/1", "Anna's phone", "012345", 1'700'000'000'123},
        R"({"expiresAt":1700000000123,"phoneName":"Anna's phone","requestId":"r\/1","sas":"012345"})");

    expectBytes(PairingOutcome{PairingOutcome::Approved{"p/1"}}, R"({"ok":true,"phoneId":"p\/1"})");
    for (const PairingDenial denial :
         {PairingDenial::phoneLimit, PairingDenial::notPending, PairingDenial::expired,
          PairingDenial::userDenied, PairingDenial::saveFailed}) {
        expectBytes(PairingOutcome{PairingOutcome::Denied{denial}},
                    R"({"error":")" + std::string(rawValue(denial)) + R"(","ok":false})");
    }
    EXPECT_EQ(XPCCoding::decode<PairingOutcome>(R"({"ok":false,"error":"expired"})"),
              PairingOutcome{PairingOutcome::Denied{PairingDenial::expired}});
}

TEST(XPCCoding, MalformedValuesFailAtTheirKey) {
    const auto unknown = failure<ConnectionState>(R"({"state":"sleeping"})");
    EXPECT_EQ(unknown.kind(), Kind::dataCorrupted);
    EXPECT_EQ(unknown.key(), "state");
    EXPECT_STREQ(unknown.what(), "unknown state sleeping");
    const std::string status = XPCCoding::encode(AgentStatus{});
    const std::string badConnection = R"({"connection":{"state":"Connected"},)" + status.substr(1);
    const auto nested = failure<AgentStatus>(badConnection);
    EXPECT_EQ(nested.codingPath(), (std::vector<std::string>{"connection", "state"}));
    EXPECT_STREQ(nested.what(), "unknown state Connected");

    EXPECT_EQ(failure<ConnectionState>(R"({"state":"reconnecting"})").key(), "nextIn");
    EXPECT_EQ(failure<ConnectionState>(R"({"state":"reconnecting","nextIn":1.5})").key(), "nextIn");
    EXPECT_EQ(failure<ConnectionState>(R"({"state":"error"})").key(), "message");

    const auto unknownDenial = failure<PairingOutcome>(R"({"ok":false,"error":"Expired"})");
    EXPECT_EQ(unknownDenial.kind(), Kind::dataCorrupted);
    EXPECT_EQ(unknownDenial.key(), "error");
    EXPECT_EQ(failure<PairingOutcome>(R"({"ok":true})").key(), "phoneId");
    EXPECT_EQ(failure<PairingOutcome>(R"({"ok":false})").key(), "error");
    EXPECT_EQ(failure<PairingOutcome>(R"({"error":"expired"})").key(), "ok");

    EXPECT_EQ(failure<PhoneInfo>(R"({"phoneId":"p","name":"n","pairedAt":"1000"})").kind(),
              Kind::typeMismatch);
    EXPECT_EQ(failure<PhoneInfo>(R"({"phoneId":"p","name":"n","pairedAt":1e300})").kind(),
              Kind::dataCorrupted);
    EXPECT_EQ(failure<PhoneInfo>(R"({"phoneId":"p","name":"n"})").kind(), Kind::keyNotFound);
    EXPECT_EQ(failure<std::vector<PhoneInfo>>("{}").kind(), Kind::typeMismatch);
    EXPECT_EQ(failure<std::vector<PhoneInfo>>(R"([{"phoneId":"p","name":"n","pairedAt":0},{}])").codingPath(),
              (std::vector<std::string>{"Index 1", "phoneId"}));
    EXPECT_EQ(
        failure<PendingPairingInfo>(R"({"requestId":"r","phoneName":"n","sas":"1","expiresAt":1.5})").key(),
        "expiresAt");
    EXPECT_THROW(XPCCoding::decode<AgentStatus>(R"({"connection":)"), json::DecodeError);
}

} // namespace
} // namespace kestrava
