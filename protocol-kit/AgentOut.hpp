#pragma once

#include "platform/bytes/Bytes.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace kestrava {

// A message from the agent to the relay.
struct AgentOut {
    struct Hello {
        std::int64_t v = 0;
        std::string agentVersion;
        std::string macName;
        bool operator==(const Hello&) const = default;
    };
    struct E2E {
        std::string phoneId;
        std::string rid;
        Bytes box;
        bool operator==(const E2E&) const = default;
    };
    struct PairingOpen {
        std::string secretHash;
        std::int64_t expiresAt = 0; // milliseconds since 1970
        bool operator==(const PairingOpen&) const = default;
    };
    struct PairingDecision {
        std::string requestId;
        bool approve = false;
        std::optional<std::string> phoneId; // only when approved
        bool operator==(const PairingDecision&) const = default;
    };
    struct Revoke {
        std::string phoneId;
        bool operator==(const Revoke&) const = default;
    };
    struct Goodbye {
        std::optional<std::string> reason;
        bool operator==(const Goodbye&) const = default;
    };
    struct Rename {
        std::string macName;
        bool operator==(const Rename&) const = default;
    };
    struct Complete {
        std::string rid;
        bool operator==(const Complete&) const = default;
    };

    std::variant<Hello, E2E, PairingOpen, PairingDecision, Revoke, Goodbye, Rename, Complete> value;

    json::Object encode() const;
    static AgentOut decode(const json::ObjectReader& reader);

    bool operator==(const AgentOut&) const = default;
};

} // namespace kestrava
