#pragma once

#include "agent-core/control/PairingOutcome.hpp"
#include "agent-core/control/PhoneLimit.hpp"
#include "agent-core/exec/ExecResult.hpp"
#include "agent-core/exec/Executor.hpp"
#include "agent-core/session/PendingPairing.hpp"
#include "agent-core/state/StateStore.hpp"
#include "platform/bytes/Bytes.hpp"
#include "platform/crypto/AesGcm.hpp"
#include "platform/crypto/P256.hpp"
#include "platform/time/Timestamp.hpp"
#include "platform/url/Url.hpp"
#include "protocol-kit/AgentIn.hpp"
#include "protocol-kit/AgentOut.hpp"
#include "protocol-kit/E2EPayload.hpp"
#include "protocol-kit/Pairing.hpp"
#include "protocol-kit/PairingQR.hpp"
#include "protocol-kit/PairingRequest.hpp"
#include "protocol-kit/SignedCommand.hpp"
#include "protocol-kit/StatusSnapshot.hpp"

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kestrava {

// The one place where paired phones reach this computer. It opens their end-to-end messages, verifies and
// runs or cancels their signed commands and seals every reply back on the same exchange, closed by exactly
// one "complete"; it turns a pairing request into a request waiting for the user and stores the phone the
// user approves; it keeps the phone list in step with the relay's and pushes the status record to the
// phones. Everything it says to the relay leaves through `send`.
//
// Any thread may call it. Its lock guards only its own fields below; it is held for short updates and
// never while calling `send`, `statusProvider`, a callback, the executor, the cryptography or the state
// store, so those may call back into the session. Create it with std::make_shared: an exec job holds it.
class Session : public std::enable_shared_from_this<Session> {
public:
    using StatusProvider = std::function<StatusSnapshot()>;
    // Hands one message to the relay link; must accept calls from any thread, in call order.
    using Send = std::function<void(const AgentOut&)>;
    using Clock = std::function<Timestamp()>;
    // Checks a pairing request's proof under its window's secret and opens the phone's name; none when
    // either fails. The agent's is Pairing::provenName; the parameter is there for tests to run code
    // between the gate and the check.
    using ProofCheck = std::function<std::optional<std::string>(const PairingRequest&, ByteView secret,
                                                                std::string_view deviceId)>;
    // An accepted command's work. Calling it starts the command and returns at once; its replies and the
    // exchange's completion follow from other threads. Nothing is sent for the command until it is called.
    using Job = std::function<void()>;

    // The open pairing window.
    struct OpenPairing {
        Bytes secret;     // 32 random bytes, shown to the phone in the link
        std::string hash; // what the relay learns of the secret
        Timestamp expires;
    };

    // A request waiting for the user, and when it stops being approvable.
    struct Pending {
        PendingPairing request;
        Timestamp expires;
    };

    // The verdict on an incoming pairing request, before its proof is checked.
    struct Gate {
        struct Window {
            OpenPairing window; // a copy of the window the request is for
        };
        struct Busy {}; // another request is waiting for the user
        struct None {}; // no window, the window ended, or the request is for another one
        std::variant<Window, Busy, None> value;
    };

    static constexpr std::chrono::seconds pairingWindowLength{300};
    static constexpr std::chrono::seconds pendingRequestLength{110};
    static constexpr std::size_t maxPhones = maxPairedPhones;
    // A phone's last-use time is recorded at most this often, with the nonce of a command.
    static constexpr std::chrono::seconds lastUsedWriteInterval{60};
    // An unchanged status is pushed again after this long.
    static constexpr std::chrono::seconds statusRepeatInterval{300};

    Session(std::string deviceId, crypto::P256PrivateKey macKey, std::shared_ptr<StateStore> state,
            std::shared_ptr<Executor> executor, url::Url backendURL, std::string macName,
            StatusProvider statusProvider, Send send, Clock clock = wallClockNow,
            ProofCheck checkProof = Pairing::provenName);

    // How the session builds a fresh status record.
    const StatusProvider& statusProvider() const noexcept { return statusProvider_; }

    // Installed by the builder; called after the session's lock is released, on the thread that caused
    // them. Until set they do nothing.
    void setOnPairingRequest(std::function<void(const PendingPairing&)> callback);
    void setOnPhonesChanged(std::function<void()> callback);

    // One message from the relay. Only an accepted exec command gives a job, which the caller starts.
    std::optional<Job> handle(const AgentIn& message);

    // Keys, commands and replies.
    std::optional<Job> handleE2E(const std::string& phoneId, const std::string& rid, const Bytes& box);
    // The end-to-end key shared with `phone`, derived once per phone; none when its key does not parse.
    std::optional<crypto::SymmetricKey> key(const PairedPhone& phone);
    // Seals `payload` for the phone and sends it on exchange `rid`; a payload that cannot be sealed is
    // dropped.
    void sealAndSend(const E2EPayload& payload, const crypto::SymmetricKey& key, const std::string& phoneId,
                     const std::string& rid);
    // Whether an accepted command at `now` records the phone's use: once a minute per phone.
    bool isLastUseDue(const std::string& phoneId, Timestamp now);
    void lastUseRecorded(const std::string& phoneId, Timestamp at);

    // Pairing.
    // Opens a window of 300 s from `now`, replacing any window and dropping a waiting request silently,
    // and tells the relay the secret's hash. Returns the link's contents for the user to show.
    PairingQR openPairingWindow(Timestamp now);
    void handlePairingRequest(const std::string& requestId, const PairingRequest& request);
    // A copy of the waiting request, expired or not.
    std::optional<Pending> pendingRequest() const;
    // The user's decision on the waiting request `requestId`. Closes the window whatever the outcome.
    PairingOutcome decide(const std::string& requestId, bool approve);
    // Closes the window without deciding; a waiting request is to be decided first.
    void closePairingWindow();

    // Phone list, revokes and status pushes.
    // Removes the phone from this computer; the relay is not told.
    void forgetPhone(const std::string& phoneId);
    // Removes the phone here and at the relay; the revoke is sent again at every reconnection until the
    // relay confirms it.
    void revoke(const std::string& phoneId);
    // After the relay connection came up, before the status push of that moment.
    void resendQueuedRevokes();
    // Brings the relay's list and the stored phones into step: phones the relay no longer has are
    // forgotten; phones only the relay has are revoked there, unless the stored list may be incomplete.
    void reconcile(const std::vector<std::string>& relayPhoneIds);
    // Pushes a fresh status record when it changed, or when the last push is 300 s old.
    void refreshStatus();
    // Pushes `snapshot` to every paired phone, each on an exchange of its own.
    void pushStatus(const StatusSnapshot& snapshot);

private:
    Job execJob(std::string jobKey, SignedCommand command, std::string loggedId, crypto::SymmetricKey key,
                std::string phoneId, std::string rid);
    void complete(const std::string& rid);

    // The caller holds lock_.
    Gate gate(Timestamp now, const PairingRequest& request) const;
    std::optional<Pending> takePending(const std::string& requestId);
    bool statusNeedsPush(const StatusSnapshot& snapshot) const;

    PairingOutcome deny(PairingDenial reason, const std::string& loggedRequestId,
                        const PendingPairing& request);
    void phoneRemoved(const std::string& phoneId);
    void phonesChanged();

    const std::string deviceId_;
    const crypto::P256PrivateKey macKey_;
    const std::shared_ptr<StateStore> state_;
    const std::shared_ptr<Executor> executor_;
    const url::Url backendURL_;
    const std::string macName_;
    const StatusProvider statusProvider_;
    const Send send_;
    const Clock clock_;
    const ProofCheck checkProof_;

    mutable std::mutex lock_;
    // Guarded by lock_.
    std::map<std::string, crypto::SymmetricKey> keys_;
    std::optional<OpenPairing> open_;
    std::optional<Pending> pending_;
    struct LastStatus {
        StatusSnapshot snapshot;
        Timestamp at;
    };
    std::optional<LastStatus> lastStatus_;
    std::map<std::string, Timestamp> lastUsedSaved_; // last recorded uses; never shrinks; memory only
    std::set<std::string> pendingRevokes_;           // revoked here, not yet confirmed by the relay
    std::function<void(const PendingPairing&)> onPairingRequest_;
    std::function<void()> onPhonesChanged_;
};

} // namespace kestrava
