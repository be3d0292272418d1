#pragma once

#include "agent-core/exec/Executor.hpp"
#include "agent-core/session/Session.hpp"
#include "agent-core/state/StateStore.hpp"
#include "platform/crypto/P256.hpp"
#include "platform/time/Timestamp.hpp"
#include "protocol-kit/AgentIn.hpp"
#include "protocol-kit/AgentOut.hpp"
#include "protocol-kit/E2EPayload.hpp"
#include "protocol-kit/SignedCommand.hpp"
#include "protocol-kit/StatusSnapshot.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestPhone.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrava::test {

// A Session as the agent builds it, with a real executor and a real state store in a folder of its own,
// a clock the test sets, a status record the test sets, and in place of the relay a recorder of every
// message the session sends. The test's phones are TestPhones.
class SessionHarness {
public:
    static constexpr std::string_view deviceId = "mac-1";
    static constexpr std::string_view macName = "Anna's PC";
    static constexpr std::chrono::seconds patience{20};

    // A paired phone as the test knows it: its keys and the id it was stored under.
    struct Phone {
        TestPhone keys;
        std::string phoneId;
    };

    // One message on an exchange, as the phone reads it: a payload, or the exchange's completion.
    struct Reply {
        std::optional<E2EPayload> payload; // none for the completion
        bool isComplete() const { return !payload; }
    };

    // `stateFileText`, when given, is in the state file before the store loads it.
    explicit SessionHarness(std::optional<std::string> stateFileText = std::nullopt);
    // The executor's jobs finish first: nothing is sent once the harness is gone.
    ~SessionHarness();

    Session& session() { return *session_; }
    StateStore& state() { return *state_; }
    const crypto::P256PrivateKey& macKey() const { return macKey_; }
    const std::filesystem::path& stateFile() const { return stateFile_; }

    // The session's clock. `onRead` runs at the clock's next read, outside the session's lock, and once.
    Timestamp now() const;
    void advance(std::chrono::nanoseconds by);
    void onNextClockRead(std::function<void()> onRead);
    // `onCheck` runs before the session's next proof check of a pairing request (after its gate),
    // outside the session's lock, and once.
    void onNextProofCheck(std::function<void()> onCheck);

    // What statusProvider answers.
    void setStatus(StatusSnapshot status);

    // A phone stored as an approval stores it (under a random id when `phoneId` is empty); `signPub`
    // replaces the phone's own signing key when given.
    Phone storePhone(std::string phoneId = {}, std::optional<Bytes> signPub = std::nullopt);

    // The e2e message `phone` sends on exchange `rid` with `command`.
    AgentIn e2eFrom(const Phone& phone, const std::string& rid, const SignedCommand& command) const;
    // A command signed by the phone now.
    SignedCommand command(const Phone& phone, const std::string& id, CommandKind kind,
                          std::string cmd = "true", std::int64_t timeoutSec = 30) const;
    // Hands the message to the session and starts the job it gives, as the agent does.
    void deliver(const AgentIn& message);

    // Every message sent so far, in order.
    std::vector<AgentOut> sent() const;
    // True once `done` holds for the messages sent; false when `limit` passed first.
    bool waitUntilSent(const std::function<bool(const std::vector<AgentOut>&)>& done,
                       std::chrono::milliseconds limit = patience) const;
    // True once exchange `rid` was completed.
    bool waitForComplete(const std::string& rid, std::chrono::milliseconds limit = patience) const;
    // The messages on exchange `rid`, opened with the phone's key.
    std::vector<Reply> repliesOn(const Phone& phone, const std::string& rid) const;

    // Fails the test unless `replies` are zero or more "out", at most one "done" or "rejected", then one
    // completion, in that order, with nothing after it.
    static void expectClosedExchange(const std::vector<Reply>& replies, const std::string& rid);

private:
    // What the session's closures share with the test; they may outlive the harness by a moment.
    struct Shared {
        std::mutex lock;
        std::condition_variable changed;
        Timestamp now;
        std::function<void()> onClockRead;
        std::function<void()> onProofCheck;
        StatusSnapshot status;
        std::vector<AgentOut> sent;
    };

    TemporaryDirectory folder_;
    std::filesystem::path stateFile_;
    crypto::P256PrivateKey macKey_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::vector<std::string> startedJobs_; // the rids of the exec jobs started; guarded by shared_->lock

    std::shared_ptr<StateStore> state_;
    std::shared_ptr<Executor> executor_;
    std::shared_ptr<Session> session_;
};

} // namespace kestrava::test
