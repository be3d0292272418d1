#pragma once

#include "platform/bytes/Bytes.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"
#include "platform/time/Timestamp.hpp"

#include <optional>
#include <string>

namespace kestrava {

// A phone that was allowed to send commands to this computer, as the state file keeps it.
struct PairedPhone {
    std::string phoneId; // lower-case UUID text given at pairing
    std::string name;    // display name as cleaned at pairing
    Bytes signPub;       // uncompressed P-256 point that verifies its commands
    Bytes agreePub;      // uncompressed P-256 point for key agreement
    Timestamp pairedAt;
    std::optional<Timestamp> lastUsed; // absent until its first accepted command

    // Dates as ISO 8601 text, keys as standard Base64; "lastUsed" is left out while absent.
    json::Object encode() const;
    static PairedPhone decode(const json::ObjectReader& reader);

    bool operator==(const PairedPhone&) const = default;
};

} // namespace kestrava
