#pragma once

#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"
#include "platform/time/Timestamp.hpp"

#include <optional>
#include <string>

namespace kestrava {

// One paired phone as the application sees it (its keys stay with the agent).
struct PhoneInfo {
    std::string phoneId;
    std::string name;
    Timestamp pairedAt;
    std::optional<Timestamp> lastUsed; // absent until its first accepted command

    // Dates as milliseconds since 1970; "lastUsed" is left out while absent.
    json::Object encode() const;
    static PhoneInfo decode(const json::ObjectReader& reader);

    bool operator==(const PhoneInfo&) const = default;
};

} // namespace kestrava
