#pragma once

#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace kestrava {

// The error an agent reports while it runs without its configuration: it serves its phones' removal and
// nothing else.
inline constexpr std::string_view configLostMessage = "configLost";

// The state of the agent's link to the relay, as the application shows it.
struct ConnectionState {
    struct Reconnecting {
        std::int64_t nextIn = 0; // seconds until the next attempt
        bool operator==(const Reconnecting&) const = default;
    };
    struct Error {
        std::string message;
        bool operator==(const Error&) const = default;
    };
    struct Connected {
        bool operator==(const Connected&) const = default;
    };
    struct RemovedByRelay {
        bool operator==(const RemovedByRelay&) const = default;
    };
    struct IdentityConflict {
        bool operator==(const IdentityConflict&) const = default;
    };
    struct Paused {
        bool operator==(const Paused&) const = default;
    };

    // The link starts out down, with no attempt scheduled yet.
    std::variant<Reconnecting, Error, Connected, RemovedByRelay, IdentityConflict, Paused> value =
        Reconnecting{};

    // The case name under "state", beside "nextIn" or "message" for the two cases that carry one.
    json::Object encode() const;
    static ConnectionState decode(const json::ObjectReader& reader);

    bool operator==(const ConnectionState&) const = default;
};

} // namespace kestrava
