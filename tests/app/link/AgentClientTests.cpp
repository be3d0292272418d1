#include "agent-core/control/XPCCoding.hpp"
#include "tests/app-support/AgentClientFixture.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using app::AgentClient;
using app::AgentClientError;
using Kind = AgentClientError::Kind;

class AgentClientTest : public test::AgentClientFixture {
protected:
    // Starts a status call and fails it as a link that broke would.
    void failOneCall() {
        const auto call = start(client->status());
        scheduler.advance(AgentClient::backoff(5));
        last().onError("gone");
        EXPECT_EQ(ended(call).error(), AgentClientError::connection("gone"));
    }

    // How long a new call waits before its new connection is made. The call stays in flight.
    app::Scheduler::Clock::duration waitBeforeConnecting() {
        const auto began = scheduler.now();
        const auto made = transport->made.size();
        start(client->hasFullDiskAccess());
        scheduler.advance(AgentClient::backoff(5));
        EXPECT_EQ(transport->made.size(), made + 1);
        return transport->made.back()->at - began;
    }
};

AgentStatus someStatus() {
    AgentStatus status;
    status.connection.value = ConnectionState::Error{"configLost"};
    status.snapshot.bootTime = timestampFromSeconds(1'765'000'000);
    status.snapshot.agentVersion = "0.1.1";
    status.deviceId = "dev-1";
    status.macName = "Máy của Lan";
    status.agentVersion = "0.1.1";
    return status;
}

// Each operation sends its message with its arguments and decodes what comes back; a reply that cannot
// be decoded is a bad reply and keeps the connection, like every reply in time.
TEST_F(AgentClientTest, OperationsSendTheirMessagesAndDecodeTheReplies) {
    const auto status = start(client->status());
    EXPECT_EQ(last().method, "statusWithReply:");
    last().data(XPCCoding::encode(someStatus()));
    EXPECT_EQ(ended(status).value(), someStatus());

    for (const std::optional<std::string>& reply :
         {std::optional<std::string>(), std::optional<std::string>("{}"), std::optional<std::string>("[")}) {
        const auto bad = start(client->status());
        last().data(reply);
        EXPECT_EQ(ended(bad).error(), AgentClientError::badReply());
    }

    const auto window = start(client->openPairing());
    last().opened("kestrava://pair?v=1", 1'700'000'000'000.0);
    EXPECT_EQ(ended(window).value().link, "kestrava://pair?v=1");
    EXPECT_EQ(ended(window).value().expiresAt, timestampFromSeconds(1'700'000'000));
    for (const double expiry : {1e300, std::numeric_limits<double>::quiet_NaN()}) {
        const auto odd = start(client->openPairing());
        last().opened("kestrava://pair?v=1", expiry);
        EXPECT_EQ(ended(odd).error(), AgentClientError::badReply());
    }
    const auto refused = start(client->openPairing());
    last().opened(std::nullopt, 0);
    EXPECT_EQ(ended(refused).error(), AgentClientError::unavailable());

    const auto decided = start(client->decide("req-1", true));
    EXPECT_EQ(last().arguments, (std::vector<std::string>{"req-1", "true"}));
    last().data(R"({"ok":true,"phoneId":"phone-2"})");
    EXPECT_EQ(ended(decided).value(), PairingOutcome{PairingOutcome::Approved{"phone-2"}});
    const auto strange = start(client->decide("req-1", false));
    last().data(R"({"error":"tired","ok":false})");
    EXPECT_EQ(ended(strange).error(), AgentClientError::badReply());

    const auto phones = start(client->phones());
    last().data(R"([{"name":"Lan","pairedAt":1700000000000,"phoneId":"p1"}])");
    ASSERT_EQ(ended(phones).value().size(), 1u);
    EXPECT_EQ(ended(phones).value()[0].pairedAt, timestampFromSeconds(1'700'000'000));
    const auto notAList = start(client->phones());
    last().data(R"({"phoneId":"p1"})");
    EXPECT_EQ(ended(notAList).error(), AgentClientError::badReply());

    const auto revoked = start(client->revoke("p1"));
    EXPECT_EQ(last().arguments, std::vector<std::string>{"p1"});
    last().flag(false);
    EXPECT_FALSE(ended(revoked).value());
    const auto reregistered = start(client->reregister());
    last().flag(true);
    EXPECT_TRUE(ended(reregistered).value());
    const auto access = start(client->hasFullDiskAccess());
    EXPECT_EQ(last().method, "hasFullDiskAccessWithReply:");
    last().flag(true);
    EXPECT_TRUE(ended(access).value());

    const auto nothingWaits = start(client->pendingPairing());
    last().data(std::nullopt);
    EXPECT_EQ(ended(nothingWaits).value(), std::nullopt);
    const auto waits = start(client->pendingPairing());
    last().data(R"({"expiresAt":1700000110000,"phoneName":"Lan","requestId":"r","sas":"123456"})");
    EXPECT_EQ(ended(waits).value()->sas, "123456");
    const auto damaged = start(client->pendingPairing());
    last().data(R"({"requestId":"r"})");
    EXPECT_EQ(ended(damaged).error(), AgentClientError::badReply());

    // Sent without waiting: done at once, with no answer to come.
    EXPECT_TRUE(ended(start(client->cancelPairing())).ok());
    EXPECT_EQ(last().method, "cancelPairing");
    EXPECT_TRUE(ended(start(client->setMonitoringPaused(true))).ok());
    EXPECT_EQ(last().arguments, std::vector<std::string>{"true"});

    EXPECT_EQ(transport->made.size(), 1u);
    EXPECT_FALSE(transport->made[0]->invalidated);
}

TEST(AgentClientBackoff, HalfASecondDoublingUpToFive) {
    const std::vector<std::pair<int, double>> table{{-1, 0}, {0, 0}, {1, 0.5}, {2, 1},  {3, 2},   {4, 4},
                                                    {5, 5},  {6, 5}, {11, 5},  {12, 5}, {1000, 5}};
    for (const auto& [failures, seconds] : table) {
        EXPECT_EQ(AgentClient::backoff(failures),
                  std::chrono::duration_cast<AgentClient::Duration>(std::chrono::duration<double>(seconds)))
            << failures;
    }
}

// The first connection is made at once; after each failure the next waits longer, up to 5 s; a reply in
// time ends the back-off. A time-out neither counts as a failure nor ends the connection, and its late
// reply is dropped.
TEST_F(AgentClientTest, FailuresBackOffAndATimeoutKeepsTheConnection) {
    EXPECT_EQ(waitBeforeConnecting(), 0s);
    for (const auto expected : {500ms, 1000ms, 2000ms, 4000ms, 5000ms, 5000ms}) {
        last().onError("refused");
        scheduler.runPosted();
        EXPECT_EQ(waitBeforeConnecting(), expected);
    }
    // A reply in time ends the back-off, so one failure after it waits 0.5 s; the answer that no pairing
    // request waits is such a reply.
    const std::vector<std::function<void()>> repliesInTime{
        [&] {
            const auto answered = start(client->status());
            last().data(XPCCoding::encode(someStatus()));
            EXPECT_TRUE(ended(answered).ok());
        },
        [&] {
            const auto nothingWaits = start(client->pendingPairing());
            last().data(std::nullopt);
            EXPECT_EQ(ended(nothingWaits).value(), std::nullopt);
        },
    };
    for (const auto& replyInTime : repliesInTime) {
        replyInTime();
        failOneCall();
        EXPECT_EQ(waitBeforeConnecting(), 500ms);
    }

    const auto slow = start(client->reregister());
    scheduler.advance(10s - 1ns);
    EXPECT_FALSE(slow.done());
    scheduler.advance(1ns);
    EXPECT_EQ(ended(slow).error(), AgentClientError::timeout());
    transport->sent.back().flag(true); // too late
    scheduler.runPosted();
    const auto next = start(client->phones());
    EXPECT_EQ(last().connection, static_cast<int>(transport->made.size()));
    EXPECT_FALSE(transport->made.back()->invalidated);
    last().onError("gone");
    EXPECT_EQ(ended(next).error(), AgentClientError::connection("gone"));
    // The time-out did not reset the count from the failure before it: 1 s now, not 0.5 s.
    EXPECT_EQ(waitBeforeConnecting(), 1000ms);
}

// A broken link fails every call in flight once, and the handler and the calls that report it count one
// failure; a handler of an older connection touches nothing.
TEST_F(AgentClientTest, ABrokenLinkFailsEachCallOnceAndCountsOnce) {
    std::vector<test::Started<app::AgentResult<bool>>> calls;
    for (int i = 0; i < 3; ++i) {
        calls.push_back(start(client->revoke("p" + std::to_string(i))));
    }
    transport->made[0]->onInterruption();
    transport->failInFlight(1, "Connection reset by peer");
    transport->made[0]->onInvalidation();
    for (const auto& call : calls) {
        EXPECT_EQ(ended(call).error(), AgentClientError::connection("Connection reset by peer"));
    }
    EXPECT_TRUE(transport->made[0]->invalidated);
    EXPECT_EQ(waitBeforeConnecting(), 500ms); // one failure, not four

    transport->made[0]->onInterruption();
    const auto onSecond = start(client->status());
    EXPECT_EQ(last().connection, 2);
    EXPECT_FALSE(transport->made[1]->invalidated);
    last().data(XPCCoding::encode(someStatus()));
    EXPECT_TRUE(ended(onSecond).ok());
}

// Two calls that wait out the same back-off end up on one new connection.
TEST_F(AgentClientTest, CallersWaitingOutOneBackoffShareTheNewConnection) {
    failOneCall();
    const auto first = start(client->status());
    const auto second = start(client->phones());
    EXPECT_EQ(transport->made.size(), 1u);
    scheduler.advance(500ms);
    ASSERT_EQ(transport->made.size(), 2u);
    ASSERT_EQ(transport->sent.size(), 3u);
    EXPECT_EQ(transport->sent[1].connection, 2);
    EXPECT_EQ(transport->sent[2].connection, 2);
}

// With no way to reach the agent every call is unavailable and the connection is dropped; a message sent
// without waiting whose link then fails drops it too.
TEST_F(AgentClientTest, AnUnreachableAgentIsUnavailable) {
    transport->proxies = false;
    EXPECT_EQ(ended(start(client->status())).error(), AgentClientError::unavailable());
    EXPECT_TRUE(transport->made[0]->invalidated);
    const auto cancel = start(client->cancelPairing());
    scheduler.advance(500ms);
    EXPECT_EQ(ended(cancel).error(), AgentClientError::unavailable());
    EXPECT_EQ(transport->made.size(), 2u);

    transport->proxies = true;
    const auto pause = start(client->setMonitoringPaused(false));
    scheduler.advance(1s);
    EXPECT_TRUE(ended(pause).ok());
    EXPECT_FALSE(transport->made[2]->invalidated);
    last().onError("Broken pipe");
    scheduler.runPosted();
    EXPECT_TRUE(transport->made[2]->invalidated);
    // Three failures: a message sent without waiting does not end the back-off, as a reply would.
    EXPECT_EQ(waitBeforeConnecting(), 2000ms);
}

} // namespace
} // namespace kestrava
