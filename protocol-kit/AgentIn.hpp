#pragma once

#include "platform/bytes/Bytes.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"
#include "protocol-kit/PairingRequest.hpp"

#include <string>
#include <variant>
#include <vector>

namespace kestrava {

// A message from the relay to the agent.
struct AgentIn {
    struct E2E {
        std::string phoneId;
        std::string rid;
        Bytes box;
        bool operator==(const E2E&) const = default;
    };
    struct PairingRequest {
        std::string requestId;
        kestrava::PairingRequest request;
        bool operator==(const PairingRequest&) const = default;
    };
    struct PhoneRemoved {
        std::string phoneId;
        bool operator==(const PhoneRemoved&) const = default;
    };
    struct Phones {
        std::vector<std::string> phoneIds; // in the relay's order, duplicates kept
        bool operator==(const Phones&) const = default;
    };

    std::variant<E2E, PairingRequest, PhoneRemoved, Phones> value;

    json::Object encode() const;
    static AgentIn decode(const json::ObjectReader& reader);

    bool operator==(const AgentIn&) const = default;
};

} // namespace kestrava
