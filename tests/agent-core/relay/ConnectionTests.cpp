#include "agent-core/relay/Connection.hpp"
#include "agent-core/relay/RelayURL.hpp"
#include "agent-core/runtime/AgentVersion.hpp"
#include "platform/json/Writer.hpp"
#include "tests/support/CapturedLog.hpp"
#include "tests/support/FakeRelay.hpp"
#include "tests/support/ScriptedRandom.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using test::FakeRelay;
using test::RelayFrame;
using test::UpgradeAnswer;
using State = ConnectionState;
using Action = Connection::AuthRejectedAction;

constexpr auto patience = 10s;

// What the connection reported through its callbacks, readable from the test's thread. The callbacks
// share the record: one may still be running on the connection's thread when the test lets go.
class Observer {
public:
    explicit Observer(std::optional<Action> answer = Action::hold) : answer_(answer) {}

    // Binds this observer; `connection` is used only to check that isConnected refuses its own thread.
    Connection::Callbacks callbacks(const std::shared_ptr<Connection>& connection) {
        Connection::Callbacks callbacks;
        callbacks.onMessage = [record = record_](const AgentIn& message) {
            record->change([&](Reports& reports) { reports.messages.push_back(message); });
        };
        // A plain pointer: the connection exists while its callbacks run, and a strong one taken here
        // could make this callback its last owner.
        callbacks.onConnected = [record = record_, connection = connection.get()] {
            bool refused = false;
            try {
                connection->isConnected();
            } catch (const std::logic_error&) {
                refused = true;
            }
            record->change([&](Reports& reports) {
                ++reports.connectedCalls;
                reports.isConnectedRefusedOnThread = refused;
            });
        };
        if (answer_) {
            callbacks.onAuthRejected = [record = record_, answer = *answer_] {
                record->change([](Reports& reports) { ++reports.authQuestions; });
                return answer;
            };
        }
        callbacks.onStateChange = [record = record_](const State& state) {
            record->change([&](Reports& reports) { reports.states.push_back(state); });
        };
        return callbacks;
    }

    // True once `count` states equal to `state` were reported.
    bool waitForState(const State& state, std::size_t count = 1) const {
        return record_->waitUntil([&](const Reports& reports) {
            return std::ranges::count(reports.states, state) >= static_cast<long>(count);
        });
    }
    bool waitForMessages(std::size_t count) const {
        return record_->waitUntil([&](const Reports& reports) { return reports.messages.size() >= count; });
    }

    std::vector<State> states() const { return record_->read().states; }
    std::vector<AgentIn> messages() const { return record_->read().messages; }
    int connectedCalls() const { return record_->read().connectedCalls; }
    int authQuestions() const { return record_->read().authQuestions; }
    bool isConnectedRefusedOnThread() const { return record_->read().isConnectedRefusedOnThread; }

private:
    struct Reports {
        std::vector<State> states;
        std::vector<AgentIn> messages;
        int connectedCalls = 0;
        int authQuestions = 0;
        bool isConnectedRefusedOnThread = false;
    };

    class Record {
    public:
        template<class Change>
        void change(Change change) {
            {
                const std::lock_guard guard(lock_);
                change(reports_);
            }
            changed_.notify_all();
        }
        template<class Condition>
        bool waitUntil(Condition condition) {
            std::unique_lock guard(lock_);
            return changed_.wait_for(guard, patience, [&] { return condition(reports_); });
        }
        Reports read() {
            const std::lock_guard guard(lock_);
            return reports_;
        }

    private:
        std::mutex lock_;
        std::condition_variable changed_;
        Reports reports_;
    };

    const std::optional<Action> answer_;
    const std::shared_ptr<Record> record_ = std::make_shared<Record>();
};

// Short timings and delays, without spread: the first retry waits 0.05 s, the cap is 0.3 s.
Connection::Timings quickTimings() {
    Connection::Timings timings;
    timings.pingPeriod = 100ms;
    timings.silenceLimit = 250ms;
    timings.pauseGoodbyeLimit = 300ms;
    timings.openingLimit = 1s;
    return timings;
}

ReconnectPolicy quickPolicy() {
    ReconnectPolicy policy;
    policy.backoff.base = 0.05;
    policy.backoff.cap = 0.3;
    policy.backoff.random = test::scriptedDraws({test::stepDraw(test::middleStep)});
    return policy;
}

std::shared_ptr<Connection> connectionTo(const FakeRelay& relay, Observer& observer,
                                         Connection::Timings timings = quickTimings()) {
    auto connection = Connection::create(relayWebSocketURL(relay.baseUrl(), "dev-1"), "tok-1", "Ann/Mac",
                                         timings, quickPolicy());
    connection->setCallbacks(observer.callbacks(connection));
    return connection;
}

std::string relayJson(const AgentOut& message) {
    return json::write(message.encode(), {});
}

std::optional<RelayFrame> waitForText(const FakeRelay& relay, std::string_view text,
                                      std::size_t connection = 1) {
    return relay.waitForFrame([&](const RelayFrame& frame) {
        return frame.kind == RelayFrame::Kind::text && frame.data == text && frame.connection == connection;
    });
}

std::optional<RelayFrame> waitForClose(const FakeRelay& relay, std::size_t connection) {
    return relay.waitForFrame([&](const RelayFrame& frame) {
        return frame.kind == RelayFrame::Kind::close && frame.connection == connection;
    });
}

const State connected{State::Connected{}};

// A relay and a connection to it that has come up.
class ConnectedLink : public testing::Test {
protected:
    void SetUp() override {
        connection->start();
        ASSERT_TRUE(observer.waitForState(connected));
    }

    test::CapturedLog log;
    FakeRelay relay;
    Observer observer;
    const std::shared_ptr<Connection> connection = connectionTo(relay, observer);
};

TEST(Connection, OpensWithCredentialsThenHelloAndPingAndAPongConnects) {
    test::CapturedLog log;
    FakeRelay relay;
    Observer observer;
    const auto connection = connectionTo(relay, observer);
    EXPECT_FALSE(connection->isConnected());
    connection->start();
    ASSERT_TRUE(observer.waitForState(connected));

    const auto upgrade = relay.upgrades().at(0);
    EXPECT_EQ(upgrade.target, "/v1/agent?device=dev-1");
    EXPECT_EQ(upgrade.header("Authorization"), "Bearer tok-1");
    EXPECT_EQ(upgrade.header("x-kv-v"), "1");
    const auto frames = relay.frames();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[0].data, relayJson(AgentOut{AgentOut::Hello{1, agentVersion(), "Ann/Mac"}}));
    EXPECT_NE(frames[0].data.find(R"("macName":"Ann\/Mac")"), std::string::npos);
    EXPECT_EQ(frames[1].data, "ping");

    EXPECT_TRUE(connection->isConnected());
    EXPECT_EQ(observer.connectedCalls(), 1);
    EXPECT_TRUE(observer.isConnectedRefusedOnThread());
    EXPECT_TRUE(observer.messages().empty());
    EXPECT_EQ(observer.states(), std::vector<State>{connected});
    EXPECT_EQ(log.lines().at(0), "INFO connecting to 127.0.0.1");
    EXPECT_EQ(log.lines().at(1), "INFO connected");
}

TEST_F(ConnectedLink, DeliversMessagesInOrderAndIgnoresUndecodableOnes) {

    const AgentIn phones{AgentIn::Phones{{"p1", "p2"}}};
    const AgentIn removed{AgentIn::PhoneRemoved{"p1"}};
    relay.sendText(json::write(phones.encode(), {}));
    relay.sendText("Pong");
    relay.sendText(" pong");
    relay.sendText("{}");
    relay.sendBinary(json::write(removed.encode(), {}));
    relay.sendText(std::string(Connection::maxInboundMessage, ' '));
    relay.sendText(json::write(phones.encode(), {}));
    ASSERT_TRUE(observer.waitForMessages(3));
    EXPECT_EQ(observer.messages(), (std::vector<AgentIn>{phones, removed, phones}));
    EXPECT_EQ(log.count("INFO ignored undecodable message (4 bytes)"), 1u);
    EXPECT_EQ(log.count("INFO ignored undecodable message (5 bytes)"), 1u);
    EXPECT_EQ(log.count("INFO ignored undecodable message (2 bytes)"), 1u);
    EXPECT_EQ(log.count("INFO ignored undecodable message (1048576 bytes)"), 1u);
    EXPECT_EQ(relay.connectionCount(), 1u);
    EXPECT_EQ(observer.states(), std::vector<State>{connected});
}

// A message one byte over the limit or a frame against the protocol ends the socket, and the next one
// connects; the line names the cause, not what the TLS layer says of the close that follows.
TEST_F(ConnectedLink, AFrameAgainstTheProtocolEndsTheSocketNamingTheCause) {
    using namespace std::string_literals;
    const std::pair<std::string, std::string> cases[] = {
        {"", "The WebSocket message exceeded the locally configured limit"},
        {"\x83\x00"s, "The WebSocket frame contained an illegal opcode"},
        {"\x81\x81\x01\x02\x03\x04\x60"s, "The WebSocket frame was masked"},
        {"\x81\x02\xC3\x28"s, "The WebSocket frame payload was not valid utf8"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& [frame, cause] = cases[i];
        if (frame.empty()) {
            relay.sendText(std::string(Connection::maxInboundMessage + 1, ' '));
        } else {
            relay.sendRawFrame(frame);
        }
        EXPECT_TRUE(log.waitFor("INFO disconnected (" + cause + "); retry in ")) << cause;
        ASSERT_TRUE(observer.waitForState(connected, i + 2)) << cause;
    }
    EXPECT_EQ(observer.states().at(1), (State{State::Reconnecting{1}}));
    EXPECT_EQ(relay.connectionCount(), std::size(cases) + 1);
    EXPECT_EQ(log.count("INFO disconnected"), std::size(cases));
}

TEST(Connection, FailuresBackOffWithTheirReasonsAndStates) {
    test::CapturedLog log;
    FakeRelay relay;
    relay.scriptUpgrades({UpgradeAnswer::refuse(503), UpgradeAnswer::accept()});
    Observer observer;
    const auto connection = connectionTo(relay, observer);
    connection->start();
    ASSERT_TRUE(observer.waitForState(connected));
    EXPECT_EQ(observer.states().front(), State{State::Reconnecting{1}}); // 0.05 s, rounded up
    EXPECT_EQ(log.count("INFO disconnected (HTTP 503); retry in 0.1s"), 1u);

    // Replaced by another agent: held at the cap.
    relay.close(4000);
    ASSERT_TRUE(observer.waitForState(State{State::IdentityConflict{}}));
    EXPECT_TRUE(
        log.waitFor("ERROR REPLACED by the relay: another agent uses this identity (same deviceId/token); "
                    "holding reconnects at 0s, retry in 0.3s"));
    ASSERT_TRUE(observer.waitForState(connected, 2));

    // A peer close without a code, and a dropped stream.
    relay.close(std::nullopt);
    EXPECT_TRUE(log.waitFor("INFO disconnected (close 1005); retry in 0.3s"));
    ASSERT_TRUE(observer.waitForState(connected, 3));
    relay.drop();
    ASSERT_TRUE(observer.waitForState(connected, 4));
    EXPECT_EQ(observer.states().at(4), (State{State::IdentityConflict{}}));
    EXPECT_EQ(relay.connectionCount(), 4u);
}

TEST(Connection, SilenceFailsTheSocketAtAPingTickPastTheLimit) {
    test::CapturedLog log;
    FakeRelay relay;
    relay.answerPings(false);
    Observer observer;
    const auto connection = connectionTo(relay, observer);
    connection->start();
    ASSERT_TRUE(observer.waitForState(State{State::Reconnecting{1}}));
    EXPECT_TRUE(relay.waitForDisconnect(1));
    EXPECT_TRUE(log.waitFor("INFO disconnected (no pong for 0s); retry in 0.1s"));
    // Pings went out, but nothing ever came back.
    EXPECT_TRUE(waitForText(relay, "ping"));
    EXPECT_EQ(observer.connectedCalls(), 0);
}

TEST(Connection, RejectedCredentialsAskTheOwner) {
    {
        test::CapturedLog log;
        FakeRelay relay;
        relay.scriptUpgrades({UpgradeAnswer::refuse(401)});
        Observer observer(Action::hold);
        const auto connection = connectionTo(relay, observer);
        connection->start();
        ASSERT_TRUE(observer.waitForState(State{State::RemovedByRelay{}}, 3));
        EXPECT_EQ(observer.authQuestions(), 3);
        EXPECT_EQ(
            log.count("ERROR removed by relay: this device is no longer registered there; paired phones are "
                      "kept, retrying every 0s (HTTP 401)"),
            1u);
        EXPECT_EQ(log.count("ERROR still removed"), 0u);
    }
    for (const bool withOwner : {true, false}) {
        test::CapturedLog log;
        FakeRelay relay;
        Observer observer(withOwner ? std::optional(Action::stop) : std::nullopt);
        const auto connection = connectionTo(relay, observer);
        connection->start();
        ASSERT_TRUE(observer.waitForState(connected));
        relay.close(4002);
        ASSERT_TRUE(observer.waitForState(State{State::Reconnecting{0}}));
        EXPECT_TRUE(log.waitFor(
            "INFO relay rejected this device (close 4002); stopping this connection for re-registration"));
        connection->kick("wake");
        connection->start();
        std::this_thread::sleep_for(500ms); // several retry delays
        EXPECT_EQ(relay.upgrades().size(), 1u);
        EXPECT_EQ(log.count("INFO reconnect now"), 0u);
        EXPECT_EQ(observer.authQuestions(), withOwner ? 1 : 0);
    }
}

// An owner's callback that throws is logged and changes nothing: the socket goes on being read, and an
// owner that cannot answer a rejection keeps the identity (holding) with its state reported.
TEST(Connection, CallbacksThatThrowStopNothing) {
    test::CapturedLog log;
    FakeRelay relay;
    const auto connection = Connection::create(relayWebSocketURL(relay.baseUrl(), "dev-1"), "tok-1", "Ann",
                                               quickTimings(), quickPolicy());
    std::atomic<int> messages = 0;
    std::mutex lock;
    std::vector<State> states;
    const auto statesSeen = [&] {
        const std::lock_guard held(lock);
        return states;
    };
    Connection::Callbacks callbacks;
    callbacks.onConnected = [] { throw std::runtime_error("connected handler broke"); };
    callbacks.onMessage = [&](const AgentIn&) {
        ++messages;
        throw std::runtime_error("message handler broke");
    };
    callbacks.onStateChange = [&](const State& state) {
        {
            const std::lock_guard held(lock);
            states.push_back(state);
        }
        throw std::runtime_error("state handler broke");
    };
    callbacks.onAuthRejected = []() -> Action { throw std::runtime_error("owner broke"); };
    connection->setCallbacks(callbacks);
    connection->start();
    ASSERT_TRUE(log.waitFor("ERROR relay connection: connected handler broke"));

    const AgentIn phones{AgentIn::Phones{{"p1"}}};
    for (int i = 0; i < 3; ++i) {
        relay.sendText(json::write(phones.encode(), {}));
    }
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (messages < 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(messages, 3);

    relay.close(4002);
    ASSERT_TRUE(log.waitFor("ERROR relay connection: owner broke"));
    while (statesSeen().size() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(statesSeen(), (std::vector<State>{connected, State{State::RemovedByRelay{}}}));
    // The handler's failure is logged after the handler has recorded the state.
    while (log.count("ERROR relay connection: state handler broke") < 2 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_GE(log.count("ERROR relay connection: state handler broke"), 2u);
}

TEST_F(ConnectedLink, PauseSaysGoodbyeAndResumeReconnects) {

    connection->pause();
    EXPECT_TRUE(waitForText(relay, relayJson(AgentOut{AgentOut::Goodbye{"pause"}})));
    EXPECT_EQ(waitForClose(relay, 1).value().closeCode, 1001);
    connection->pause();
    connection->kick("network back");
    EXPECT_FALSE(connection->isConnected());
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(relay.connectionCount(), 1u);
    EXPECT_EQ(log.count("INFO monitoring paused"), 1u);
    EXPECT_EQ(log.count("INFO reconnect now"), 0u);

    connection->resume();
    connection->resume();
    ASSERT_TRUE(observer.waitForState(connected, 2));
    EXPECT_EQ(log.count("INFO monitoring resumed"), 1u);
    EXPECT_EQ(observer.states(), (std::vector<State>{connected, connected}));
}

TEST_F(ConnectedLink, KickReplacesTheSocketAndTheOldOneChangesNothing) {

    connection->kick("wake");
    ASSERT_TRUE(observer.waitForState(connected, 2));
    EXPECT_EQ(waitForClose(relay, 1).value().closeCode, 1001);
    EXPECT_TRUE(log.waitFor("INFO reconnect now: wake"));
    EXPECT_EQ(observer.states(), (std::vector<State>{connected, connected}));
    EXPECT_EQ(log.count("INFO disconnected"), 0u);

    // Sent on the current socket only.
    connection->send(AgentOut{AgentOut::Revoke{"p/1"}});
    EXPECT_TRUE(waitForText(relay, relayJson(AgentOut{AgentOut::Revoke{"p/1"}}), 2));
}

TEST(Connection, CloseCallsItsCompletionExactlyOnce) {
    FakeRelay relay;
    const auto completionCounter = [](std::atomic<int>& calls) { return [&calls] { ++calls; }; };
    const auto waitForCalls = [](const std::atomic<int>& calls) {
        for (auto waited = 0ms; calls == 0 && waited < patience; waited += 5ms) {
            std::this_thread::sleep_for(5ms);
        }
        return calls.load();
    };

    // Never started: at once.
    std::atomic<int> withoutSocket = 0;
    Observer idle;
    const auto unstarted = connectionTo(relay, idle);
    unstarted->close(completionCounter(withoutSocket), 10s);
    EXPECT_EQ(waitForCalls(withoutSocket), 1);
    unstarted->start();

    // Connected: when the goodbye went out.
    std::atomic<int> withSocket = 0;
    Observer observer;
    const auto connection = connectionTo(relay, observer);
    connection->start();
    ASSERT_TRUE(observer.waitForState(connected));
    connection->close(completionCounter(withSocket), 10s);
    EXPECT_EQ(waitForCalls(withSocket), 1);
    EXPECT_TRUE(waitForText(relay, relayJson(AgentOut{AgentOut::Goodbye{}})));
    EXPECT_EQ(waitForClose(relay, 1).value().closeCode, 1001);

    // Still opening: the limit comes first, the socket's failure later finds nothing to call.
    test::CapturedLog log;
    relay.scriptUpgrades({UpgradeAnswer::never()});
    std::atomic<int> whileOpening = 0;
    Observer opening;
    auto stalled = connectionTo(relay, opening);
    stalled->start();
    stalled->send(AgentOut{AgentOut::Revoke{"p1"}});
    stalled->close(completionCounter(whileOpening), 100ms);
    EXPECT_EQ(waitForCalls(whileOpening), 1);
    EXPECT_TRUE(log.waitFor("ERROR send failed: ")); // the opening limit passed
    stalled.reset();
    EXPECT_EQ(whileOpening, 1);
    EXPECT_EQ(relay.upgrades().size(), 2u); // the connection closed before it started opened nothing
}

TEST_F(ConnectedLink, StopEndsForGoodWithoutCallbacks) {
    connection->stop();
    EXPECT_EQ(waitForClose(relay, 1).value().closeCode, 1001);
    connection->start();
    connection->resume();
    relay.sendText("{}");
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(connection->isConnected());
    EXPECT_EQ(relay.connectionCount(), 1u);
    EXPECT_EQ(observer.states(), std::vector<State>{connected});
}

} // namespace
} // namespace kestrava
