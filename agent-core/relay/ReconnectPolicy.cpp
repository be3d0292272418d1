#include "agent-core/relay/ReconnectPolicy.hpp"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <utility>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

// A connection must outlast this, from its first message, to end the holding.
constexpr auto stableConnection = 60s;
constexpr auto removedLogInterval = 600s;

// "%.1f" without the locale: the nearest value with one digit after a full stop.
std::string oneDecimal(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return std::string(text, result.ptr);
}

std::string wholeSeconds(double value) {
    return std::to_string(static_cast<std::int64_t>(value));
}

} // namespace

void ReconnectPolicy::onOpen(Timestamp now) {
    connectedAt = now;
    removedLoggedAt.reset();
    if (!holdingAtCap) {
        backoff.attempt = 0;
    }
}

std::optional<ReconnectPolicy::Retry> ReconnectPolicy::onClose(std::optional<int> httpStatus,
                                                               std::optional<int> closeCode,
                                                               const std::string& reason, Timestamp now) {
    const std::optional<Timestamp> openedAt = std::exchange(connectedAt, std::nullopt);
    if (holdingAtCap && openedAt && now - *openedAt > stableConnection) {
        holdingAtCap = false;
        backoff.attempt = 0;
    }
    if (closeCode == replacedCloseCode) {
        holdingAtCap = true;
        const double delay = backoff.capDelay();
        return Retry{delay, "REPLACED by the relay: another agent uses this identity (same deviceId/token); "
                            "holding reconnects at " +
                                wholeSeconds(backoff.cap) + "s, retry in " + oneDecimal(delay) + "s"};
    }
    if (httpStatus == rejectedHttpStatus || closeCode == rejectedCloseCode) {
        return std::nullopt;
    }
    const double delay = holdingAtCap ? backoff.capDelay() : backoff.nextDelay();
    return Retry{delay, "disconnected (" + reason + "); retry in " + oneDecimal(delay) + "s"};
}

ReconnectPolicy::RemovedRetry ReconnectPolicy::onRemoved(Timestamp now) {
    const double delay = backoff.capDelay();
    if (!removedLoggedAt) {
        removedLoggedAt = now;
        return {delay, "removed by relay: this device is no longer registered there; paired phones are kept, "
                       "retrying every " +
                           wholeSeconds(backoff.cap) + "s"};
    }
    if (now - *removedLoggedAt >= removedLogInterval) {
        removedLoggedAt = now;
        return {delay, "still removed by relay; retrying every " + wholeSeconds(backoff.cap) + "s"};
    }
    return {delay, std::nullopt};
}

void ReconnectPolicy::resetForManualReconnect(Timestamp now) {
    if (holdingAtCap && !(connectedAt && now - *connectedAt > stableConnection)) {
        connectedAt.reset();
        return;
    }
    holdingAtCap = false;
    connectedAt.reset();
    backoff.attempt = 0;
}

} // namespace kestrava
