#include "tests/support/RelayPhone.hpp"

#include "platform/json/DecodeError.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"
#include "protocol-kit/Pairing.hpp"
#include "tests/support/ReplyText.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace kestrava::test {

RelayPhone::RelayPhone(FakeRelay& relay, TestPhone keys) : relay_(relay), keys_(std::move(keys)) {}

void RelayPhone::requestPairing(const std::string& link, const std::string& requestId,
                                std::string_view name) {
    link_ = PairingQR::parse(link);
    ASSERT_TRUE(link_.has_value()) << link;
    const AgentIn message{
        AgentIn::PairingRequest{requestId, keys_.pairingRequest(link_->secret, link_->deviceId, name)}};
    relay_.sendText(json::write(message.encode(), {}));
}

std::string RelayPhone::confirmationCode() const {
    return Pairing::sas(link_->macPublicKey, keys_.signPub(), keys_.agreePub());
}

void RelayPhone::paired(std::string phoneId) {
    phoneId_ = std::move(phoneId);
}

void RelayPhone::send(const std::string& rid, const std::string& id, CommandKind kind, const std::string& cmd,
                      std::int64_t timeoutSec, std::optional<Timestamp> issuedAt) {
    relay_.sendText(commandMessage(rid, id, kind, cmd, timeoutSec, issuedAt));
}

std::string RelayPhone::commandMessage(const std::string& rid, const std::string& id, CommandKind kind,
                                       const std::string& cmd, std::int64_t timeoutSec,
                                       std::optional<Timestamp> issuedAt) {
    const crypto::SymmetricKey key = sessionKey();
    const SignedCommand command = keys_.command(id, kind, cmd, timeoutSec, issuedAt.value_or(wallClockNow()),
                                                link_->deviceId, phoneId_);
    const AgentIn message{AgentIn::E2E{
        phoneId_, rid, keys_.seal(E2EPayload{E2EPayload::Command{command}}, key, link_->deviceId, phoneId_)}};
    sent_.emplace_back(rid, message);
    return json::write(message.encode(), {});
}

void RelayPhone::resend(const std::string& rid, const std::string& asRid) {
    const auto earlier =
        std::find_if(sent_.begin(), sent_.end(), [&](const auto& sent) { return sent.first == rid; });
    ASSERT_NE(earlier, sent_.end());
    AgentIn message = earlier->second;
    std::get<AgentIn::E2E>(message.value).rid = asRid;
    relay_.sendText(json::write(message.encode(), {}));
}

std::vector<AgentOut> RelayPhone::agentMessages() const {
    std::vector<AgentOut> messages;
    for (const RelayFrame& frame : relay_.frames()) {
        if (frame.kind != RelayFrame::Kind::text || frame.data == "ping") {
            continue;
        }
        try {
            messages.push_back(AgentOut::decode(json::ObjectReader(json::parse(frame.data))));
        } catch (const json::DecodeError&) {
            ADD_FAILURE() << "the agent sent an undecodable message: " << frame.data;
        }
    }
    return messages;
}

std::vector<RelayPhone::Reply> RelayPhone::repliesOn(const std::string& rid) const {
    const crypto::SymmetricKey key = sessionKey();
    std::vector<Reply> replies;
    for (const AgentOut& message : agentMessages()) {
        if (const auto* complete = std::get_if<AgentOut::Complete>(&message.value);
            complete && complete->rid == rid) {
            replies.push_back({});
        } else if (const auto* e2e = std::get_if<AgentOut::E2E>(&message.value); e2e && e2e->rid == rid) {
            replies.push_back({keys_.open(e2e->box, key, link_->deviceId, phoneId_)});
        }
    }
    return replies;
}

bool RelayPhone::waitForComplete(const std::string& rid, std::chrono::milliseconds limit) const {
    return relay_
        .waitForFrame(
            [&](const RelayFrame& frame) {
                return frame.data.find("\"complete\"") != std::string::npos &&
                       frame.data.find("\"" + rid + "\"") != std::string::npos;
            },
            limit)
        .has_value();
}

std::vector<StatusSnapshot> RelayPhone::statuses() const {
    const crypto::SymmetricKey key = sessionKey();
    std::vector<StatusSnapshot> found;
    for (const AgentOut& message : agentMessages()) {
        const auto* e2e = std::get_if<AgentOut::E2E>(&message.value);
        if (!e2e || e2e->phoneId != phoneId_) {
            continue;
        }
        const E2EPayload payload = keys_.open(e2e->box, key, link_->deviceId, phoneId_);
        if (const auto* status = std::get_if<E2EPayload::Status>(&payload.value)) {
            found.push_back(status->status);
        }
    }
    return found;
}

std::vector<std::string> RelayPhone::replyTexts(const std::string& rid) const {
    std::vector<std::string> texts;
    for (const Reply& reply : repliesOn(rid)) {
        texts.push_back(reply.payload ? replyText(*reply.payload) : "complete");
    }
    return texts;
}

crypto::SymmetricKey RelayPhone::sessionKey() const {
    const auto macKey = crypto::P256PublicKey::fromX963(link_->macPublicKey).value();
    return keys_.sessionKey(macKey, link_->deviceId, phoneId_);
}

} // namespace kestrava::test
