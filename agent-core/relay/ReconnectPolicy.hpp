#pragma once

#include "agent-core/relay/Backoff.hpp"
#include "platform/time/Timestamp.hpp"

#include <optional>
#include <string>

namespace kestrava {

// The relay link's memory across successive sockets: how long to wait before the next attempt and
// what to write to the log about it. Performs no input, output or timing itself.
struct ReconnectPolicy {
    struct Retry {
        double delay = 0; // seconds
        std::string text;
    };
    struct RemovedRetry {
        double delay = 0; // seconds
        std::optional<std::string> text;
    };

    static constexpr int replacedCloseCode = 4000;
    static constexpr int rejectedCloseCode = 4002;
    static constexpr int rejectedHttpStatus = 401;

    Backoff backoff;
    bool holdingAtCap = false;            // another agent is believed to use this identity
    std::optional<Timestamp> connectedAt; // first message of the current socket
    std::optional<Timestamp> removedLoggedAt;

    // The current socket received its first message.
    void onOpen(Timestamp now);
    // A socket ended; nothing when the relay rejected the credentials (the owner decides then).
    std::optional<Retry> onClose(std::optional<int> httpStatus, std::optional<int> closeCode,
                                 const std::string& reason, Timestamp now);
    // The owner keeps retrying after a rejection; the text comes at most once per 600 s.
    RemovedRetry onRemoved(Timestamp now);
    // An immediate reconnect was asked for (wake, network back, resume, kick).
    void resetForManualReconnect(Timestamp now);
};

} // namespace kestrava
