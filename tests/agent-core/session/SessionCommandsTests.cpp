#include "agent-core/session/Session.hpp"
#include "platform/files/UserFolders.hpp"
#include "platform/process/Descriptor.hpp"
#include "protocol-kit/Direction.hpp"
#include "protocol-kit/E2E.hpp"
#include "tests/support/CapturedLog.hpp"
#include "tests/support/ReplyText.hpp"
#include "tests/support/SessionHarness.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sys/inotify.h>
#include <unistd.h>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using test::SessionHarness;
using Phone = SessionHarness::Phone;

std::string kindOf(const SessionHarness::Reply& reply) {
    if (reply.isComplete()) {
        return "complete";
    }
    return test::replyText(*reply.payload);
}

std::vector<std::string> kindsOn(const SessionHarness& harness, const Phone& phone, const std::string& rid) {
    std::vector<std::string> kinds;
    for (const auto& reply : harness.repliesOn(phone, rid)) {
        kinds.push_back(kindOf(reply));
    }
    return kinds;
}

// For every incoming e2e, whatever it carries and whatever happens meanwhile, the relay sees zero or more
// outputs, at most one result, then exactly one completion on its rid. Random mixes of quick and slow
// commands, cancels before and during their command, reused ids, replays, unpaired senders, damaged boxes
// and revokes, over several seeds.
TEST(SessionCommands, EveryExchangeIsClosedExactlyOnceAfterItsReplies) {
    for (const unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        test::CapturedLog log;
        SessionHarness harness;
        std::vector<Phone> phones{harness.storePhone(), harness.storePhone(), harness.storePhone()};
        const Phone stranger{test::TestPhone(), "stranger"};
        phones.push_back(stranger);
        std::mt19937 random(seed);
        const auto pick = [&](std::size_t count) {
            return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
        };

        struct Sent {
            const Phone* phone;
            std::string rid;
        };
        std::vector<Sent> exchanges;
        std::vector<AgentIn> delivered;
        const auto deliver = [&](const Phone& phone, const AgentIn& message) {
            exchanges.push_back({&phone, std::get<AgentIn::E2E>(message.value).rid});
            delivered.push_back(message);
            harness.deliver(message);
        };
        const auto exec = [&](const Phone& phone, const std::string& rid, const std::string& id,
                              const std::string& cmd) {
            return harness.e2eFrom(phone, rid, harness.command(phone, id, CommandKind::exec, cmd));
        };
        for (int step = 0; step < 18; ++step) {
            const Phone& phone = phones[pick(phones.size())];
            const std::string rid = "r" + std::to_string(step);
            const std::string id = "c" + std::to_string(pick(6));
            switch (pick(8)) {
            case 0:
                deliver(phone, exec(phone, rid, id, "echo out; echo err >&2"));
                break;
            case 1:
                deliver(phone, exec(phone, rid, id, "sleep 0.5; echo late"));
                break;
            case 2:
                deliver(phone,
                        harness.e2eFrom(phone, rid, harness.command(phone, id, CommandKind::cancel, "", 0)));
                break;
            case 3: {
                AgentIn damaged = exec(phone, rid, id, "true");
                std::get<AgentIn::E2E>(damaged.value).box.back() ^= 1;
                deliver(phone, damaged);
                break;
            }
            case 4: {
                // The relay replays an earlier message under a new rid.
                if (delivered.empty()) {
                    break;
                }
                AgentIn replayed = delivered[pick(delivered.size())];
                auto& e2e = std::get<AgentIn::E2E>(replayed.value);
                e2e.rid = rid;
                deliver(*std::find_if(phones.begin(), phones.end(),
                                      [&](const Phone& p) { return p.phoneId == e2e.phoneId; }),
                        replayed);
                break;
            }
            case 5:
                if (phone.phoneId != stranger.phoneId && step > 9) {
                    harness.session().revoke(phone.phoneId);
                }
                deliver(phone, exec(phone, rid, id, "echo x"));
                break;
            case 6:
                // More at once than the executor runs.
                for (int k = 0; k < 5; ++k) {
                    const std::string burst = rid + "-" + std::to_string(k);
                    deliver(phone, exec(phone, burst, burst, "sleep 0.5"));
                }
                break;
            default:
                deliver(phone, exec(phone, rid, id, "sleep 0.5"));
                break;
            }
        }
        for (const Sent& exchange : exchanges) {
            ASSERT_TRUE(harness.waitForComplete(exchange.rid)) << exchange.rid;
        }
        // A moment for anything that would wrongly follow a completion.
        std::this_thread::sleep_for(400ms);
        for (const Sent& exchange : exchanges) {
            SessionHarness::expectClosedExchange(harness.repliesOn(*exchange.phone, exchange.rid),
                                                 exchange.rid);
        }
    }
}

// Each way a phone's message is refused, reached by a real phone's message: what the relay sees on the
// exchange and the line the log gets.
TEST(SessionCommands, RefusalsReplyWithTheirReasonAndCloseTheExchange) {
    struct Case {
        std::string name;
        std::function<AgentIn(SessionHarness&, const Phone&)> message;
        std::vector<std::string> replies;
        std::string logLine;
        // The same box again on another exchange: refused as a replay only when its nonce was recorded.
        std::vector<std::string> repeated;
    };
    const auto sealed = [](SessionHarness& harness, const Phone& phone, Direction direction,
                           std::string_view deviceId, const SignedCommand& command) {
        const auto key = phone.keys.sessionKey(harness.macKey().publicKey(), deviceId, phone.phoneId);
        return AgentIn{AgentIn::E2E{
            phone.phoneId, "r1",
            E2E::seal(E2EPayload{E2EPayload::Command{command}}, key, direction, deviceId, phone.phoneId)}};
    };
    const std::vector<Case> cases{
        {"box sealed in the agent's direction",
         [&](SessionHarness& h, const Phone& p) {
             return sealed(h, p, Direction::m2p, SessionHarness::deviceId,
                           h.command(p, "c1", CommandKind::exec));
         },
         {"complete"},
         "INFO e2e from {phone}: undecryptable or not a command",
         {"complete"}},
        {"box for another computer",
         [&](SessionHarness& h, const Phone& p) {
             return sealed(h, p, Direction::p2m, "mac-2", h.command(p, "c1", CommandKind::exec));
         },
         {"complete"},
         "INFO e2e from {phone}: undecryptable or not a command",
         {"complete"}},
        {"status instead of a command",
         [](SessionHarness& h, const Phone& p) {
             const auto key = p.keys.sessionKey(h.macKey().publicKey(), SessionHarness::deviceId, p.phoneId);
             return AgentIn{AgentIn::E2E{p.phoneId, "r1",
                                         p.keys.seal(E2EPayload{E2EPayload::Status{StatusSnapshot{}}}, key,
                                                     SessionHarness::deviceId, p.phoneId)}};
         },
         {"complete"},
         "INFO e2e from {phone}: undecryptable or not a command",
         {"complete"}},
        {"75 seconds of skew",
         [](SessionHarness& h, const Phone& p) {
             return h.e2eFrom(p, "r1",
                              p.keys.command("c1", CommandKind::exec, "true", 30, h.now() - 75s,
                                             SessionHarness::deviceId, p.phoneId));
         },
         {"rejected clockSkew(75)", "complete"},
         "INFO rejected command c1 from {phone}: clockSkew(75)",
         {"rejected clockSkew(75)", "complete"}},
        {"command changed after signing",
         [](SessionHarness& h, const Phone& p) {
             SignedCommand command = h.command(p, "c1", CommandKind::exec, "echo safe");
             command.cmd = "echo unsafe";
             return h.e2eFrom(p, "r1", command);
         },
         {"rejected badSignature", "complete"},
         "INFO rejected command c1 from {phone}: badSignature",
         {"rejected badSignature", "complete"}},
        {"time-out out of range",
         [](SessionHarness& h, const Phone& p) {
             return h.e2eFrom(p, "r1", h.command(p, "c1", CommandKind::exec, "true", 601));
         },
         {"rejected timeoutOutOfRange", "complete"},
         "INFO rejected command c1 from {phone}: timeoutOutOfRange",
         {"rejected timeoutOutOfRange", "complete"}},
        {"text with a NUL, which would run only its prefix",
         [](SessionHarness& h, const Phone& p) {
             return h.e2eFrom(p, "r1",
                              h.command(p, "c1", CommandKind::exec, std::string("echo ran > ran\0; x", 18)));
         },
         {"rejected malformed", "complete"},
         "INFO rejected command c1 from {phone}: malformed",
         {"rejected replay", "complete"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::CapturedLog log;
        SessionHarness harness;
        const Phone phone = harness.storePhone();
        AgentIn message = c.message(harness, phone);
        harness.deliver(message);
        ASSERT_TRUE(harness.waitForComplete("r1"));
        EXPECT_EQ(kindsOn(harness, phone, "r1"), c.replies);
        std::string line = c.logLine;
        line.replace(line.find("{phone}"), 7, phone.phoneId);
        EXPECT_EQ(log.count(line), 1u);
        std::get<AgentIn::E2E>(message.value).rid = "r2";
        harness.deliver(message);
        ASSERT_TRUE(harness.waitForComplete("r2"));
        EXPECT_EQ(kindsOn(harness, phone, "r2"), c.repeated);
        EXPECT_EQ(log.count("INFO exec"), 0u);
    }
    EXPECT_FALSE(std::filesystem::exists(files::homeDirectory() / "ran"));
}

TEST(SessionCommands, ReplaysUnknownSendersAndUnreadableKeysAreRefused) {
    test::CapturedLog log;
    SessionHarness harness;
    const Phone phone = harness.storePhone();
    const AgentIn once =
        harness.e2eFrom(phone, "r1", harness.command(phone, "c1", CommandKind::cancel, "", 0));
    harness.deliver(once);
    AgentIn again = once;
    std::get<AgentIn::E2E>(again.value).rid = "r2";
    harness.deliver(again);
    ASSERT_TRUE(harness.waitForComplete("r2"));
    EXPECT_EQ(kindsOn(harness, phone, "r1"), std::vector<std::string>{"complete"});
    EXPECT_EQ(kindsOn(harness, phone, "r2"), (std::vector<std::string>{"rejected replay", "complete"}));
    EXPECT_EQ(log.count("INFO rejected command c1 from " + phone.phoneId + ": replay"), 1u);

    const Phone stranger{test::TestPhone(), "not-paired\n"};
    harness.deliver(harness.e2eFrom(stranger, "r3", harness.command(stranger, "c1", CommandKind::exec)));
    EXPECT_EQ(kindsOn(harness, stranger, "r3"), std::vector<std::string>{"complete"});
    EXPECT_EQ(log.count("INFO e2e from unpaired phone not-paired\\u{A} ignored"), 1u);

    // A stored signing key that does not parse refuses every command, without a log line.
    const Phone broken = harness.storePhone({}, Bytes(65, 0x04));
    harness.deliver(harness.e2eFrom(broken, "r4", harness.command(broken, "c1", CommandKind::exec)));
    EXPECT_EQ(kindsOn(harness, broken, "r4"), (std::vector<std::string>{"rejected notPaired", "complete"}));
    EXPECT_EQ(log.count("INFO rejected command c1 from " + broken.phoneId), 0u);
}

TEST(SessionCommands, CommandsRunCancelAndCollideByPhoneAndId) {
    test::CapturedLog log;
    SessionHarness harness;
    const Phone phone = harness.storePhone();
    const Phone other = harness.storePhone();

    harness.deliver(
        harness.e2eFrom(phone, "r1", harness.command(phone, "c1", CommandKind::exec, "echo hello", 30)));
    ASSERT_TRUE(harness.waitForComplete("r1"));
    EXPECT_EQ(kindsOn(harness, phone, "r1"),
              (std::vector<std::string>{"out stdout hello\n", "done 0", "complete"}));
    EXPECT_EQ(log.count("INFO exec c1 from " + phone.phoneId + " timeout 30s"), 1u);
    EXPECT_EQ(log.count("INFO done c1 exit 0 "), 1u);

    // Four run at once; a fifth is busy, a reused id a duplicate; the other phone's c2 is its own job.
    for (const std::string id : {"c2", "c3", "c4"}) {
        harness.deliver(
            harness.e2eFrom(phone, "run-" + id, harness.command(phone, id, CommandKind::exec, "sleep 30")));
    }
    harness.deliver(
        harness.e2eFrom(other, "other-c2", harness.command(other, "c2", CommandKind::exec, "sleep 30")));
    harness.deliver(harness.e2eFrom(phone, "busy", harness.command(phone, "c5", CommandKind::exec, "true")));
    ASSERT_TRUE(harness.waitForComplete("busy"));
    EXPECT_EQ(kindsOn(harness, phone, "busy"), (std::vector<std::string>{"rejected busy", "complete"}));
    EXPECT_EQ(log.count("INFO done c5"), 0u);

    // A cancel from the other phone reaches only its own c2.
    harness.deliver(
        harness.e2eFrom(other, "cancel", harness.command(other, "c2", CommandKind::cancel, "", 0)));
    ASSERT_TRUE(harness.waitForComplete("other-c2"));
    EXPECT_EQ(kindsOn(harness, other, "cancel"), std::vector<std::string>{"complete"});
    EXPECT_EQ(kindsOn(harness, other, "other-c2"), (std::vector<std::string>{"done signal", "complete"}));
    EXPECT_EQ(log.count("INFO cancel c2 from " + other.phoneId), 1u);
    harness.deliver(harness.e2eFrom(phone, "dup", harness.command(phone, "c2", CommandKind::exec, "true")));
    ASSERT_TRUE(harness.waitForComplete("dup"));
    EXPECT_EQ(kindsOn(harness, phone, "dup"), (std::vector<std::string>{"rejected duplicateId", "complete"}));

    // A cancel before its command: the command answers at once without running.
    harness.deliver(
        harness.e2eFrom(other, "early", harness.command(other, "c9", CommandKind::cancel, "", 0)));
    harness.deliver(
        harness.e2eFrom(other, "late", harness.command(other, "c9", CommandKind::exec, "echo no")));
    ASSERT_TRUE(harness.waitForComplete("late"));
    EXPECT_EQ(kindsOn(harness, other, "late"), (std::vector<std::string>{"done signal", "complete"}));
    EXPECT_EQ(log.count("INFO done c9 exit signal 0ms"), 1u);
}

// How often a file in `folder` has been replaced by a rename since the last call, as every durable write
// replaces it.
class Replacements {
public:
    explicit Replacements(const std::filesystem::path& folder)
        : watch_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        // With the temporary file's own move in between, no two replacements are merged into one event.
        EXPECT_GE(::inotify_add_watch(watch_.get(), folder.c_str(), IN_MOVED_FROM | IN_MOVED_TO), 0);
    }

    int of(const std::string& name) {
        int count = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t length; (length = ::read(watch_.get(), buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                count += (event->mask & IN_MOVED_TO) != 0 && event->len > 0 && name == event->name ? 1 : 0;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return count;
    }

private:
    process::Descriptor watch_;
};

// A phone's use is recorded once a minute, in the same durable write as the command's nonce: a command
// waits for one write of the state file, never two.
TEST(SessionCommands, LastUseIsWrittenAtMostOnceAMinutePerPhone) {
    SessionHarness harness;
    const Phone phone = harness.storePhone();
    Replacements replacements(harness.stateFile().parent_path());
    const std::string stateFile = harness.stateFile().filename().string();
    const auto lastUsed = [&] { return harness.state().phones().front().lastUsed; };
    const auto cancel = [&](const std::string& id) {
        harness.deliver(harness.e2eFrom(phone, id, harness.command(phone, id, CommandKind::cancel, "", 0)));
    };
    const Timestamp first = harness.now();
    cancel("a");
    EXPECT_EQ(lastUsed(), first);
    EXPECT_EQ(replacements.of(stateFile), 1);
    harness.advance(59s);
    cancel("b");
    EXPECT_EQ(lastUsed(), first);
    EXPECT_EQ(replacements.of(stateFile), 1);
    harness.advance(1s);
    cancel("c");
    EXPECT_EQ(lastUsed(), first + 60s);
    EXPECT_EQ(replacements.of(stateFile), 1);
    EXPECT_EQ(StateStore(harness.stateFile()).phones().front().lastUsed, first + 60s);
}

} // namespace
} // namespace kestrava
