#include "protocol-kit/CommandVerifier.hpp"

#include "protocol-kit/VerifyError.hpp"

#include <array>
#include <limits>
#include <utility>

namespace kestrava {

namespace {

constexpr std::int64_t largestSkew = std::numeric_limits<std::int64_t>::max();

// The magnitude of currentSecond - issuedAt; a difference too large to hold counts as the largest skew.
std::int64_t clockSkew(std::int64_t currentSecond, std::int64_t issuedAt) {
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(currentSecond, issuedAt, &difference) ||
        difference == std::numeric_limits<std::int64_t>::min()) {
        return largestSkew;
    }
    return difference < 0 ? -difference : difference;
}

// U+000A to U+000D, U+0085, U+2028 and U+2029 in UTF-8.
constexpr std::array<std::string_view, 7> lineBreaks{"\n", "\v", "\f", "\r", "\u0085", "\u2028", "\u2029"};

} // namespace

CommandVerifier::CommandVerifier(std::string deviceId, std::string phoneId,
                                 crypto::P256PublicKey phoneSignPublicKey, std::shared_ptr<NonceStore> nonces)
    : deviceId_(std::move(deviceId)), phoneId_(std::move(phoneId)),
      phoneSignPublicKey_(std::move(phoneSignPublicKey)), nonces_(std::move(nonces)) {}

void CommandVerifier::verify(const SignedCommand& command, Timestamp now) const {
    if (!isValidToken(command.id) || !isValidToken(command.nonce)) {
        throw VerifyError::malformed();
    }
    // A cancel only names a running command; its time-out plays no part.
    if (command.kind == CommandKind::exec && !timeoutRange.contains(command.timeoutSec)) {
        throw VerifyError::timeoutOutOfRange();
    }
    const std::int64_t skew = clockSkew(wholeSecondsSince1970(now), command.issuedAt);
    if (skew > maxClockSkew) {
        throw VerifyError::clockSkew(skew);
    }
    // Strict DER only: a raw r||s pair or trailing bytes fail here.
    if (!phoneSignPublicKey_.isValidSignature(command.signature, command.signingBytes(deviceId_, phoneId_))) {
        throw VerifyError::badSignature();
    }
    // Last, so that a command refused above leaves its nonce usable.
    if (!nonces_->checkAndRecord(command.nonce, now)) {
        throw VerifyError::replay();
    }
}

bool CommandVerifier::isValidToken(std::string_view token) {
    if (token.empty() || token.size() > maxTokenLength) {
        return false;
    }
    for (std::string_view lineBreak : lineBreaks) {
        if (token.find(lineBreak) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

} // namespace kestrava
