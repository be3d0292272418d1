#pragma once

#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"

#include <cstdint>
#include <string>

namespace kestrava {

// The pairing request that waits for the user's decision.
struct PendingPairingInfo {
    std::string requestId;
    std::string phoneName;
    std::string sas;            // the six-digit code both screens show
    std::int64_t expiresAt = 0; // milliseconds since 1970, an integer

    json::Object encode() const;
    static PendingPairingInfo decode(const json::ObjectReader& reader);

    bool operator==(const PendingPairingInfo&) const = default;
};

} // namespace kestrava
