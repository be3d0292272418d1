#pragma once

#include "agent-core/control/PairingOutcome.hpp"

#include <optional>
#include <string>

namespace kestrava {

// What the local control surface may ask of the agent: the running agent and the degraded one both
// answer it. Any thread may call, several at once; nothing throws: what cannot be answered is none,
// false or a refusal.
class AgentControl {
public:
    // A pairing window just opened: the link to show and when it ends, in milliseconds since 1970.
    struct OpenedPairing {
        std::string link;
        double expiresAt = 0;
    };

    virtual ~AgentControl() = default;

    // The JSON texts below are the control values' coding.
    virtual std::optional<std::string> status() = 0;
    virtual std::optional<OpenedPairing> openPairing() = 0;
    virtual void cancelPairing() = 0;
    virtual PairingOutcome decide(const std::string& requestId, bool approve) = 0;
    virtual std::optional<std::string> phones() = 0;
    // True when the phone was paired and its unpairing started.
    virtual bool revoke(const std::string& phoneId) = 0;
    virtual void setMonitoringPaused(bool paused) = 0;
    // True when a fresh registration was accepted.
    virtual bool reregister() = 0;
    virtual std::optional<std::string> pendingPairing() = 0;
};

} // namespace kestrava
