#pragma once

#include "agent-core/control/ConnectionState.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"
#include "protocol-kit/StatusSnapshot.hpp"

#include <optional>
#include <string>

namespace kestrava {

// The agent's answer to the application's status request.
struct AgentStatus {
    ConnectionState connection;
    StatusSnapshot snapshot;
    std::optional<std::string> deviceId; // absent until the computer is registered with the relay
    std::string macName;
    std::string agentVersion;
    bool monitoringPaused = false;

    // "deviceId" is left out while absent; null reads as absent.
    json::Object encode() const;
    static AgentStatus decode(const json::ObjectReader& reader);

    bool operator==(const AgentStatus&) const = default;
};

} // namespace kestrava
