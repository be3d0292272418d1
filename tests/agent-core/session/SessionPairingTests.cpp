#include "agent-core/session/PhoneName.hpp"
#include "agent-core/session/Session.hpp"
#include "protocol-kit/Pairing.hpp"
#include "tests/support/CapturedLog.hpp"
#include "tests/support/SessionHarness.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using test::SessionHarness;

// The pairing request as a phone makes it from the link the session gave.
AgentIn requestFrom(const test::TestPhone& phone, const PairingQR& shown, const std::string& requestId,
                    std::string_view name = "Anna's phone") {
    const std::optional<PairingQR> read = PairingQR::parse(shown.urlString());
    EXPECT_TRUE(read.has_value());
    return AgentIn{
        AgentIn::PairingRequest{requestId, phone.pairingRequest(read->secret, read->deviceId, name)}};
}

std::vector<AgentOut::PairingDecision> decisions(const SessionHarness& harness) {
    std::vector<AgentOut::PairingDecision> found;
    for (const AgentOut& message : harness.sent()) {
        if (const auto* decision = std::get_if<AgentOut::PairingDecision>(&message.value)) {
            found.push_back(*decision);
        }
    }
    return found;
}

AgentOut::PairingDecision refused(const std::string& requestId) {
    return {requestId, false, std::nullopt};
}

PairingOutcome denied(PairingDenial denial) {
    return {PairingOutcome::Denied{denial}};
}

TEST(SessionPairing, APhonePairsThroughTheLinkWithItsProofNameAndCodeAndThenRunsACommand) {
    test::CapturedLog log;
    SessionHarness harness;
    std::vector<PendingPairing> announced;
    int phonesChanged = 0;
    harness.session().setOnPairingRequest(
        [&](const PendingPairing& request) { announced.push_back(request); });
    harness.session().setOnPhonesChanged([&] { ++phonesChanged; });

    const Timestamp opened = harness.now();
    const PairingQR shown = harness.session().openPairingWindow(opened);
    EXPECT_EQ(shown.deviceId, SessionHarness::deviceId);
    EXPECT_EQ(shown.macName, SessionHarness::macName);
    EXPECT_EQ(shown.secret.size(), 32u);
    EXPECT_EQ(shown.macPublicKey, harness.macKey().publicKey().x963());
    ASSERT_EQ(harness.sent().size(), 1u);
    EXPECT_EQ(harness.sent()[0], (AgentOut{AgentOut::PairingOpen{Pairing::secretHash(shown.secret),
                                                                 millisecondsSince1970(opened + 300s)}}));
    EXPECT_EQ(log.count("INFO pairing window opened"), 1u);

    const test::TestPhone phone;
    harness.advance(10s);
    harness.deliver(requestFrom(phone, shown, "req-1", "\aAnna's phone "));
    const auto pending = harness.session().pendingRequest();
    ASSERT_TRUE(pending.has_value());
    const std::string phoneSide = Pairing::sas(shown.macPublicKey, phone.signPub(), phone.agreePub());
    EXPECT_EQ(pending->request,
              (PendingPairing{"req-1", "Anna's phone", phoneSide, phone.signPub(), phone.agreePub()}));
    EXPECT_EQ(pending->expires, harness.now() + 110s);
    EXPECT_EQ(announced, std::vector<PendingPairing>{pending->request});
    EXPECT_TRUE(decisions(harness).empty()) << "nothing goes to the relay while the user decides";

    const PairingOutcome outcome = harness.session().decide("req-1", true);
    ASSERT_TRUE(std::holds_alternative<PairingOutcome::Approved>(outcome.value));
    const std::string phoneId = std::get<PairingOutcome::Approved>(outcome.value).phoneId;
    EXPECT_TRUE(std::regex_match(
        phoneId, std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")));
    EXPECT_EQ(decisions(harness), (std::vector<AgentOut::PairingDecision>{{"req-1", true, phoneId}}));
    EXPECT_EQ(log.count("INFO paired phone " + phoneId), 1u);
    EXPECT_EQ(phonesChanged, 1);
    const std::vector<PairedPhone> stored = StateStore(harness.stateFile()).phones();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0], (PairedPhone{phoneId, "Anna's phone", phone.signPub(), phone.agreePub(),
                                      harness.now(), std::nullopt}));
    EXPECT_EQ(harness.session().decide("req-1", true), denied(PairingDenial::notPending));
    EXPECT_EQ(decisions(harness).size(), 1u);

    const SessionHarness::Phone paired{phone, phoneId};
    harness.deliver(
        harness.e2eFrom(paired, "r1", harness.command(paired, "c1", CommandKind::exec, "echo paired")));
    ASSERT_TRUE(harness.waitForComplete("r1"));
    EXPECT_EQ(harness.repliesOn(paired, "r1").size(), 3u);
}

// The window, the waiting request and the decision at their edges; each row starts from a window opened
// at the harness's start.
TEST(SessionPairing, WindowAndWaitingRequestEdges) {
    struct Context {
        SessionHarness& harness;
        const PairingQR& shown;
        const test::TestPhone& phone;
        Session& session() { return harness.session(); }
        void request(const std::string& id) { harness.deliver(requestFrom(phone, shown, id)); }
    };
    struct Case {
        std::string name;
        std::function<void(Context&)> run;
        std::vector<std::string> logLines;
        std::vector<AgentOut::PairingDecision> refusals; // what the relay is told besides approvals
    };
    const std::vector<Case> cases{
        {"a request at the window's end",
         [](Context& c) {
             c.harness.advance(300s);
             c.request("a");
         },
         {"INFO pairing request a denied (no window, expired, or hash mismatch)"},
         {refused("a")}},
        {"a secret hash in upper case",
         [](Context& c) {
             AgentIn message = requestFrom(c.phone, c.shown, "a");
             auto& hash = std::get<AgentIn::PairingRequest>(message.value).request.secretHash;
             std::transform(hash.begin(), hash.end(), hash.begin(), ::toupper);
             c.harness.deliver(message);
         },
         {"INFO pairing request a denied (no window, expired, or hash mismatch)"},
         {refused("a")}},
        {"a bad proof closes the window",
         [](Context& c) {
             AgentIn message = requestFrom(c.phone, c.shown, "a");
             std::get<AgentIn::PairingRequest>(message.value).request.proof[0] ^= 1;
             c.harness.deliver(message);
             c.request("b");
         },
         {"INFO pairing request a denied (bad proof)",
          "INFO pairing request b denied (no window, expired, or hash mismatch)"},
         {refused("a"), refused("b")}},
        {"a name that is not UTF-8",
         [](Context& c) { c.harness.deliver(requestFrom(c.phone, c.shown, "a", "\xFF")); },
         {"INFO pairing request a denied (bad proof)"},
         {refused("a")}},
        {"a second request while one waits, even an expired one",
         [](Context& c) {
             c.request("a");
             c.harness.advance(200s);
             c.request("b");
         },
         {"INFO pairing request b denied (another request pending)"},
         {refused("b")}},
        {"a request late in the window waits only until the window ends",
         [](Context& c) {
             c.harness.advance(250s);
             c.request("a");
             EXPECT_EQ(c.session().pendingRequest()->expires, c.harness.now() + 50s);
         },
         {},
         {}},
        {"approved 111 s after it arrived",
         [](Context& c) {
             c.request("a");
             c.harness.advance(111s);
             EXPECT_EQ(c.session().decide("a", true), denied(PairingDenial::expired));
             c.request("b");
         },
         {"INFO pairing a denied (expired)",
          "INFO pairing request b denied (no window, expired, or hash mismatch)"},
         {refused("a"), refused("b")}},
        {"denied by the user, and decided twice",
         [](Context& c) {
             c.request("a");
             EXPECT_EQ(c.session().decide("a", false), denied(PairingDenial::userDenied));
             EXPECT_EQ(c.session().decide("a", false), denied(PairingDenial::notPending));
         },
         {"INFO pairing a denied (userDenied)"},
         {refused("a")}},
        {"a new window drops the waiting request silently",
         [](Context& c) {
             c.request("a");
             c.session().openPairingWindow(c.harness.now());
             EXPECT_FALSE(c.session().pendingRequest());
             EXPECT_EQ(c.session().decide("a", true), denied(PairingDenial::notPending));
         },
         {},
         {}},
        {"a sixth phone",
         [](Context& c) {
             for (int i = 0; i < 5; ++i) {
                 c.harness.storePhone();
             }
             c.request("a");
             EXPECT_EQ(c.session().decide("a", true), denied(PairingDenial::phoneLimit));
             EXPECT_EQ(c.harness.state().phones().size(), 5u);
         },
         {"INFO pairing a denied (phoneLimit)"},
         {refused("a")}},
        {"a fifth phone",
         [](Context& c) {
             for (int i = 0; i < 4; ++i) {
                 c.harness.storePhone();
             }
             c.request("a");
             EXPECT_TRUE(
                 std::holds_alternative<PairingOutcome::Approved>(c.session().decide("a", true).value));
             EXPECT_EQ(c.harness.state().phones().size(), 5u);
         },
         {},
         {}},
        {"the state file cannot be written",
         [](Context& c) {
             std::filesystem::create_directories(c.harness.stateFile() / "in-the-way");
             c.request("a");
             EXPECT_EQ(c.session().decide("a", true), denied(PairingDenial::saveFailed));
             EXPECT_TRUE(c.harness.state().phones().empty());
         },
         {"ERROR state save failed: ", "INFO pairing a denied (saveFailed)"},
         {refused("a")}},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        test::CapturedLog log;
        SessionHarness harness;
        const test::TestPhone phone;
        const PairingQR shown = harness.session().openPairingWindow(harness.now());
        Context context{harness, shown, phone};
        row.run(context);
        for (const std::string& line : row.logLines) {
            EXPECT_EQ(log.count(line), 1u) << line;
        }
        std::vector<AgentOut::PairingDecision> refusals = decisions(harness);
        std::erase_if(refusals, [](const auto& decision) { return decision.approve; });
        EXPECT_EQ(refusals, row.refusals);
    }
}

// The window may be cancelled, replaced or run out while a request's proof is checked: the request is
// then refused, never left waiting for a window that is not the one it proved.
TEST(SessionPairing, ARequestIsStoredOnlyIntoTheWindowItProved) {
    struct Race {
        std::string name;
        std::function<void(SessionHarness&)> meanwhile;
    };
    const std::vector<Race> races{
        {"cancelled", [](SessionHarness& h) { h.session().closePairingWindow(); }},
        {"replaced", [](SessionHarness& h) { h.session().openPairingWindow(h.now()); }},
        {"run out", [](SessionHarness& h) { h.advance(300s); }},
    };
    for (const Race& race : races) {
        SCOPED_TRACE(race.name);
        test::CapturedLog log;
        SessionHarness harness;
        bool announced = false;
        harness.session().setOnPairingRequest([&](const PendingPairing&) { announced = true; });
        const test::TestPhone phone;
        const PairingQR shown = harness.session().openPairingWindow(harness.now());
        // The first clock read is the gate's; the second comes after the proof was checked.
        harness.onNextClockRead([&] { harness.onNextClockRead([&] { race.meanwhile(harness); }); });
        harness.deliver(requestFrom(phone, shown, "a"));
        EXPECT_FALSE(harness.session().pendingRequest());
        EXPECT_FALSE(announced);
        EXPECT_EQ(decisions(harness), std::vector<AgentOut::PairingDecision>{refused("a")});
        EXPECT_EQ(log.count("INFO pairing request"), 0u);
    }
}

// A bad proof closes the window it was checked against, not one the user opened meanwhile.
TEST(SessionPairing, ABadProofLeavesANewerWindowOpen) {
    test::CapturedLog log;
    SessionHarness harness;
    const test::TestPhone phone;
    AgentIn forged = requestFrom(phone, harness.session().openPairingWindow(harness.now()), "a");
    std::get<AgentIn::PairingRequest>(forged.value).request.proof[0] ^= 1;
    std::optional<PairingQR> newer;
    harness.onNextProofCheck([&] { newer = harness.session().openPairingWindow(harness.now()); });
    harness.deliver(forged);
    ASSERT_TRUE(newer);
    EXPECT_EQ(log.count("INFO pairing request a denied (bad proof)"), 1u);
    harness.deliver(requestFrom(phone, *newer, "b"));
    ASSERT_TRUE(harness.session().pendingRequest());
    EXPECT_EQ(harness.session().pendingRequest()->request.requestId, "b");
    EXPECT_EQ(decisions(harness), std::vector<AgentOut::PairingDecision>{refused("a")});
}

TEST(SessionPairing, PhoneNamesAreCleanedTrimmedAndCut) {
    std::string seventyEmoji;
    std::string sixtyFourEmoji;
    for (int i = 0; i < 70; ++i) {
        seventyEmoji += "\xF0\x9F\x98\x80";
        if (i < 64) {
            sixtyFourEmoji += "\xF0\x9F\x98\x80";
        }
    }
    const std::vector<std::pair<std::string, std::string>> names{
        {"  \t\x01 \xE2\x80\xA8", "iPhone"},
        {"", "iPhone"},
        {"\aWork phone ", "Work phone"},
        {seventyEmoji, sixtyFourEmoji},
        {"\xE2\x80\x8BZero\xE2\x80\x8Dwidth", "Zerowidth"},        // format characters go
        {"Anna\xEF\xBF\xBE", "Anna"},                              // a noncharacter goes
        {std::string(63, 'a') + " b", std::string(63, 'a') + " "}, // the cut may end in a blank
        {"\xC3\xA9t\xC3\xA9 \xF0\x9F\x87\xBB\xF0\x9F\x87\xB3",
         "\xC3\xA9t\xC3\xA9 \xF0\x9F\x87\xBB\xF0\x9F\x87\xB3"},
    };
    for (const auto& [given, shown] : names) {
        EXPECT_EQ(sanitizePhoneName(given), shown) << given;
    }
}

} // namespace
} // namespace kestrava
