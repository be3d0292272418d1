#pragma once

#include "agent-core/control/PairingDenial.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"

#include <string>
#include <variant>

namespace kestrava {

// The result of the user's decision on a pairing request.
struct PairingOutcome {
    struct Approved {
        std::string phoneId; // the new phone's id
        bool operator==(const Approved&) const = default;
    };
    struct Denied {
        PairingDenial denial = PairingDenial::notPending;
        bool operator==(const Denied&) const = default;
    };

    std::variant<Approved, Denied> value;

    // {"ok":true,"phoneId":…} or {"error":<denial>,"ok":false}.
    json::Object encode() const;
    static PairingOutcome decode(const json::ObjectReader& reader);

    bool operator==(const PairingOutcome&) const = default;
};

} // namespace kestrava
