#include "protocol-kit/SignedCommand.hpp"

#include "platform/encoding/Base64.hpp"
#include "protocol-kit/Base64URL.hpp"
#include "protocol-kit/Base64URLMember.hpp"
#include "protocol-kit/CommandVerifier.hpp"

#include <stdexcept>
#include <utility>

namespace kestrava {

Bytes SignedCommand::signingBytes(std::string_view deviceId, std::string_view phoneId) const {
    std::string text = "KV1\n";
    for (std::string_view line : {deviceId, phoneId, std::string_view(id), rawValue(kind)}) {
        text.append(line).push_back('\n');
    }
    // issuedAt comes before the nonce and timeoutSec after it.
    text.append(std::to_string(issuedAt)).push_back('\n');
    text.append(nonce).push_back('\n');
    text.append(std::to_string(timeoutSec)).push_back('\n');
    text.append(base64::encode(bytesOf(cmd)));
    return Bytes(text.begin(), text.end());
}

SignedCommand SignedCommand::make(std::string id, CommandKind kind, std::string cmd, std::int64_t timeoutSec,
                                  Timestamp now, const NonceBytes& nonceBytes, std::string_view deviceId,
                                  std::string_view phoneId, const Signer& sign) {
    if (!CommandVerifier::isValidToken(id)) {
        throw std::invalid_argument("command id breaks the token rule");
    }
    SignedCommand command{.id = std::move(id),
                          .kind = kind,
                          .cmd = std::move(cmd),
                          .timeoutSec = timeoutSec,
                          .issuedAt = wholeSecondsSince1970(now),
                          .nonce = Base64URL::encode(nonceBytes),
                          .signature = {}};
    command.signature = sign(command.signingBytes(deviceId, phoneId));
    return command;
}

json::Object SignedCommand::encode() const {
    json::Object object;
    object.add("id", id)
        .add("kind", rawValue(kind))
        .add("cmd", cmd)
        .add("timeoutSec", json::Value::integer(timeoutSec))
        .add("issuedAt", json::Value::integer(issuedAt))
        .add("nonce", nonce)
        .add("signature", Base64URL::encode(signature));
    return object;
}

SignedCommand SignedCommand::decode(const json::ObjectReader& reader) {
    SignedCommand command;
    command.id = reader.string("id");
    const std::string kind = reader.string("kind");
    const auto parsedKind = commandKindFromRawValue(kind);
    if (!parsedKind) {
        reader.dataCorrupted("kind", "unknown kind " + kind);
    }
    command.kind = *parsedKind;
    command.cmd = reader.string("cmd");
    command.timeoutSec = reader.int64("timeoutSec");
    command.issuedAt = reader.int64("issuedAt");
    command.nonce = reader.string("nonce");
    command.signature = readBase64URLMember(reader, "signature");
    return command;
}

} // namespace kestrava
