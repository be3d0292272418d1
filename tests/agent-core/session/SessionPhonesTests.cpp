#include "agent-core/session/Session.hpp"
#include "protocol-kit/Pairing.hpp"
#include "tests/support/CapturedLog.hpp"
#include "tests/support/SessionHarness.hpp"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using test::SessionHarness;
using Phone = SessionHarness::Phone;

std::vector<std::string> revokesSent(const SessionHarness& harness) {
    std::vector<std::string> ids;
    for (const AgentOut& message : harness.sent()) {
        if (const auto* revoke = std::get_if<AgentOut::Revoke>(&message.value)) {
            ids.push_back(revoke->phoneId);
        }
    }
    return ids;
}

std::vector<std::string> storedIds(SessionHarness& harness) {
    std::vector<std::string> ids;
    for (const PairedPhone& phone : harness.state().phones()) {
        ids.push_back(phone.phoneId);
    }
    return ids;
}

// The relay's phone list against the stored one, with what this computer revoked itself and whether the
// state file could be read at start.
TEST(SessionPhones, ReconcileRevokeAndRemovalTable) {
    struct Case {
        std::string name;
        bool stateFileWasUnreadable = false;
        std::vector<std::string> stored;
        std::vector<std::string> revokedHere; // revoked before the relay's list arrives
        std::function<void(Session&)> relay;
        std::vector<std::string> logLines; // in order, all of them
        std::vector<std::string> revokes;  // sent after the revokes of revokedHere
        std::vector<std::string> left;
        int phonesChanged = 0; // after the revokes of revokedHere
    };
    const auto list = [](std::vector<std::string> ids) {
        return [ids](Session& session) { session.handle(AgentIn{AgentIn::Phones{ids}}); };
    };
    const std::vector<Case> cases{
        {"the same list", false, {"a", "b"}, {}, list({"b", "a", "a"}), {}, {}, {"a", "b"}, 0},
        {"two phones the relay no longer has",
         false,
         {"c", "a", "b"},
         {},
         list({"b"}),
         {"INFO pruning 2 phone(s) unknown to backend"},
         {},
         {"b"},
         2},
        {"a phone only the relay has",
         false,
         {"a"},
         {},
         list({"a", "x"}),
         {"INFO revoking 1 phone(s) the relay still has but this Mac does not"},
         {"x"},
         {"a"},
         0},
        {"a phone only the relay has, the state file lost",
         true,
         {"a"},
         {},
         list({"a", "x"}),
         {"ERROR state.json was unreadable: not revoking 1 relay phone(s) missing locally"},
         {},
         {"a"},
         0},
        {"a phone this computer revoked, the state file lost",
         true,
         {"a", "x"},
         {"x"},
         list({"a", "x"}),
         {"INFO revoked phone x", "INFO revoking 1 phone(s) the relay still has but this Mac does not"},
         {"x"},
         {"a"},
         0},
        {"a confirmed revoke leaves the queue silently",
         false,
         {"a", "x"},
         {"x"},
         [](Session& session) {
             session.reconcile({"a"});
             session.resendQueuedRevokes();
         },
         {"INFO revoked phone x"},
         {},
         {"a"},
         0},
        {"an unconfirmed revoke goes again at the next connection",
         false,
         {"a", "x"},
         {"x"},
         [](Session& session) { session.resendQueuedRevokes(); },
         {"INFO revoked phone x", "INFO re-sending 1 queued revoke(s)"},
         {"x"},
         {"a"},
         0},
        {"the relay removes a phone it was asked to",
         false,
         {"a", "x"},
         {"x"},
         [](Session& session) {
             session.handle(AgentIn{AgentIn::PhoneRemoved{"x"}});
             session.resendQueuedRevokes();
         },
         {"INFO revoked phone x", "INFO backend removed phone x"},
         {},
         {"a"},
         0},
        {"the relay removes a stored phone",
         false,
         {"a", "b"},
         {},
         [](Session& session) { session.handle(AgentIn{AgentIn::PhoneRemoved{"b\n"}}); },
         {"INFO backend removed phone b\\u{A}"},
         {},
         {"a", "b"},
         0},
        {"the relay removes a stored phone it names exactly",
         false,
         {"a", "b"},
         {},
         [](Session& session) { session.handle(AgentIn{AgentIn::PhoneRemoved{"b"}}); },
         {"INFO backend removed phone b"},
         {},
         {"a"},
         1},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        test::CapturedLog log;
        SessionHarness harness(row.stateFileWasUnreadable ? std::optional<std::string>("{") : std::nullopt);
        ASSERT_EQ(harness.state().loadFailed(), row.stateFileWasUnreadable);
        for (const std::string& id : row.stored) {
            harness.storePhone(id);
        }
        for (const std::string& id : row.revokedHere) {
            harness.session().revoke(id);
        }
        int changed = 0;
        harness.session().setOnPhonesChanged([&] { ++changed; });
        const std::size_t revokedBefore = revokesSent(harness).size();

        row.relay(harness.session());
        std::vector<std::string> lines = log.lines();
        std::erase_if(lines, [](const std::string& line) { return line.starts_with("ERROR kestrava: "); });
        EXPECT_EQ(lines, row.logLines);
        const std::vector<std::string> revokes = revokesSent(harness);
        EXPECT_EQ(std::vector<std::string>(revokes.begin() + static_cast<long>(revokedBefore), revokes.end()),
                  row.revokes);
        EXPECT_EQ(storedIds(harness), row.left);
        EXPECT_EQ(changed, row.phonesChanged);
    }
}

TEST(SessionPhones, AStatusIsPushedWhenItChangesOrAfterFiveMinutes) {
    SessionHarness harness;
    const Phone first = harness.storePhone();
    const Phone second = harness.storePhone();
    harness.storePhone({}, std::nullopt);
    harness.state().upsert(
        PairedPhone{"no-key", "Broken", first.keys.signPub(), Bytes{4, 1}, harness.now(), {}});

    // Each push is one exchange per phone, on a fresh lower-case rid; a phone without a usable key is
    // skipped.
    const auto pushes = [&] {
        std::vector<std::string> rids;
        for (const AgentOut& message : harness.sent()) {
            if (const auto* complete = std::get_if<AgentOut::Complete>(&message.value)) {
                rids.push_back(complete->rid);
            }
        }
        return rids.size();
    };
    StatusSnapshot status;
    status.agentVersion = "1.0 (1)";
    status.uptimeSec = 10;
    harness.setStatus(status);
    harness.session().refreshStatus();
    ASSERT_EQ(pushes(), 3u);
    std::set<std::string> rids;
    for (const AgentOut& message : harness.sent()) {
        if (const auto* e2e = std::get_if<AgentOut::E2E>(&message.value)) {
            rids.insert(e2e->rid);
            EXPECT_EQ(e2e->rid.size(), 36u);
            EXPECT_EQ(e2e->rid, [&] {
                std::string lower = e2e->rid;
                std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
                return lower;
            }());
        }
    }
    EXPECT_EQ(rids.size(), 3u);
    for (const Phone& phone : {first, second}) {
        const auto sent = harness.sent();
        const auto e2e = std::find_if(sent.begin(), sent.end(), [&](const AgentOut& message) {
            const auto* e2e = std::get_if<AgentOut::E2E>(&message.value);
            return e2e && e2e->phoneId == phone.phoneId;
        });
        ASSERT_NE(e2e, sent.end());
        const std::string rid = std::get<AgentOut::E2E>(e2e->value).rid;
        const auto replies = harness.repliesOn(phone, rid);
        ASSERT_EQ(replies.size(), 2u);
        EXPECT_EQ(replies[0].payload, E2EPayload{E2EPayload::Status{status}});
        EXPECT_TRUE(replies[1].isComplete());
    }

    // Uptime and free memory alone never make a push due; five minutes do.
    status.uptimeSec += 299;
    status.freeMemPct = 80;
    harness.setStatus(status);
    harness.advance(299s);
    harness.session().refreshStatus();
    EXPECT_EQ(pushes(), 3u);
    harness.advance(1s);
    harness.session().refreshStatus();
    EXPECT_EQ(pushes(), 6u);
    // A change of power source is pushed at once.
    status.onACPower = !status.onACPower;
    harness.setStatus(status);
    harness.advance(1s);
    harness.session().refreshStatus();
    EXPECT_EQ(pushes(), 9u);
    harness.session().refreshStatus();
    EXPECT_EQ(pushes(), 9u);
}

TEST(SessionPhones, APushWithoutPhonesSendsNothingButCounts) {
    SessionHarness harness;
    harness.session().refreshStatus();
    harness.session().refreshStatus();
    EXPECT_TRUE(harness.sent().empty());
    harness.storePhone();
    harness.session().refreshStatus();
    EXPECT_TRUE(harness.sent().empty()) << "the last push is recent and the status unchanged";
    harness.session().pushStatus(StatusSnapshot{});
    EXPECT_EQ(harness.sent().size(), 2u);
}

// Five phones, four commands each printing a mebibyte, while a phone pairs, another is revoked and the
// status is pushed over and over: every exchange is closed exactly once and nothing follows a completion.
TEST(SessionPhones, ExchangesStayWholeUnderLoad) {
    SessionHarness harness;
    std::vector<Phone> phones;
    for (int i = 0; i < 5; ++i) {
        phones.push_back(harness.storePhone());
    }
    for (std::size_t i = 0; i < 4; ++i) {
        harness.deliver(harness.e2eFrom(
            phones[i], "job-" + std::to_string(i),
            harness.command(phones[i], "big", CommandKind::exec, "head -c 1048576 /dev/zero | tr '\\0' a")));
    }
    std::thread pairing([&] {
        const test::TestPhone newcomer;
        const PairingQR shown = harness.session().openPairingWindow(harness.now());
        harness.session().handle(AgentIn{AgentIn::PairingRequest{
            "req", newcomer.pairingRequest(shown.secret, shown.deviceId, "Newcomer")}});
        harness.session().revoke(phones[4].phoneId);
        EXPECT_TRUE(
            std::holds_alternative<PairingOutcome::Approved>(harness.session().decide("req", true).value));
    });
    std::thread pushing([&] {
        for (int i = 0; i < 50; ++i) {
            harness.session().pushStatus(StatusSnapshot{});
            harness.session().reconcile(
                {phones[0].phoneId, phones[1].phoneId, phones[2].phoneId, phones[3].phoneId});
        }
    });
    pairing.join();
    pushing.join();

    for (std::size_t i = 0; i < 4; ++i) {
        const std::string rid = "job-" + std::to_string(i);
        ASSERT_TRUE(harness.waitForComplete(rid, 60s));
        const auto replies = harness.repliesOn(phones[i], rid);
        SessionHarness::expectClosedExchange(replies, rid);
        std::size_t printed = 0;
        for (const auto& reply : replies) {
            if (reply.payload) {
                if (const auto* out = std::get_if<E2EPayload::Out>(&reply.payload->value)) {
                    printed += out->data.size();
                }
            }
        }
        EXPECT_EQ(printed, 1048576u);
        const auto& done = std::get<E2EPayload::Done>(replies.at(replies.size() - 2).payload->value);
        EXPECT_EQ(done.exitCode, 0);
    }
    // Every status push is a sealed box followed by its completion.
    std::map<std::string, int> boxes;
    std::map<std::string, int> completions;
    for (const AgentOut& message : harness.sent()) {
        if (const auto* e2e = std::get_if<AgentOut::E2E>(&message.value)) {
            EXPECT_EQ(completions[e2e->rid], 0) << "a box after its completion";
            ++boxes[e2e->rid];
        } else if (const auto* complete = std::get_if<AgentOut::Complete>(&message.value)) {
            EXPECT_EQ(++completions[complete->rid], 1);
        }
    }
    EXPECT_EQ(boxes.size(), completions.size());
}

} // namespace
} // namespace kestrava
