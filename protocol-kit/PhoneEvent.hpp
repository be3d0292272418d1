#pragma once

#include "platform/bytes/Bytes.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace kestrava {

// A message from the relay to a phone. The agent never sends or reads one; it fixes the phone's side of
// the relay protocol.
struct PhoneEvent {
    struct Presence {
        bool online = false;
        std::int64_t lastSeen = 0;
        std::optional<std::string> reason;
        bool operator==(const Presence&) const = default;
    };
    struct E2E {
        std::string rid;
        Bytes box;
        bool operator==(const E2E&) const = default;
    };
    struct Lost {
        std::string rid;
        bool operator==(const Lost&) const = default;
    };

    std::variant<Presence, E2E, Lost> value;

    json::Object encode() const;
    static PhoneEvent decode(const json::ObjectReader& reader);

    bool operator==(const PhoneEvent&) const = default;
};

} // namespace kestrava
