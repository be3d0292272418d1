#pragma once

#include "platform/crypto/AesGcm.hpp"
#include "protocol-kit/AgentIn.hpp"
#include "protocol-kit/AgentOut.hpp"
#include "protocol-kit/CommandKind.hpp"
#include "protocol-kit/E2EPayload.hpp"
#include "protocol-kit/PairingQR.hpp"
#include "tests/support/FakeRelay.hpp"
#include "tests/support/TestPhone.hpp"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kestrava::test {

// A phone that reaches a real agent through the tests' relay: what it sends, the relay hands to the agent
// as the relay would; what the agent sends back, the phone reads from the relay's record.
class RelayPhone {
public:
    explicit RelayPhone(FakeRelay& relay, TestPhone keys = TestPhone());

    // Reads the pairing link the agent showed and sends the relay's pairing request built from it.
    void requestPairing(const std::string& link, const std::string& requestId, std::string_view name);
    // The six-digit code this phone shows for that link.
    std::string confirmationCode() const;
    // After the approval: the phone's id at the relay.
    void paired(std::string phoneId);
    const std::string& phoneId() const { return phoneId_; }
    const std::string& deviceId() const { return link_->deviceId; }

    // Sends a signed command on exchange `rid`; `issuedAt` is now unless given.
    void send(const std::string& rid, const std::string& id, CommandKind kind, const std::string& cmd,
              std::int64_t timeoutSec = 30, std::optional<Timestamp> issuedAt = std::nullopt);
    // The relay's message that carries such a command, to send later with the relay's sendText.
    std::string commandMessage(const std::string& rid, const std::string& id, CommandKind kind,
                               const std::string& cmd, std::int64_t timeoutSec = 30,
                               std::optional<Timestamp> issuedAt = std::nullopt);
    // Sends this exact e2e message again (a replay), under another rid.
    void resend(const std::string& rid, const std::string& asRid);

    // The agent's messages on exchange `rid` as this phone reads them: each payload, and "complete".
    struct Reply {
        std::optional<E2EPayload> payload; // none for the completion
    };
    std::vector<Reply> repliesOn(const std::string& rid) const;
    // True once the agent completed exchange `rid`.
    bool waitForComplete(const std::string& rid,
                         std::chrono::milliseconds limit = std::chrono::seconds(20)) const;
    // Short texts of those replies: "out stdout hi\n", "done 0", "done signal", "rejected replay",
    // "complete".
    std::vector<std::string> replyTexts(const std::string& rid) const;

    // The status records the agent sealed for this phone, in order.
    std::vector<StatusSnapshot> statuses() const;

    // Every message the agent sent the relay that decodes, in order.
    std::vector<AgentOut> agentMessages() const;

private:
    // The key of this phone's session with the agent it paired with.
    crypto::SymmetricKey sessionKey() const;

    FakeRelay& relay_;
    TestPhone keys_;
    std::optional<PairingQR> link_;
    std::string phoneId_;
    std::vector<std::pair<std::string, AgentIn>> sent_;
};

} // namespace kestrava::test
