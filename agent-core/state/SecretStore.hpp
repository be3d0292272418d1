#pragma once

#include "platform/bytes/Bytes.hpp"

#include <cstdint>
#include <string_view>
#include <variant>

namespace kestrava {

// The accounts of the agent's two secrets.
inline constexpr std::string_view macAgreeKeyAccount = "macAgreeKey"; // the 32-byte key-agreement scalar
inline constexpr std::string_view agentTokenAccount = "agentToken";   // the relay token, UTF-8

// What reading a secret gave.
struct SecretReadOutcome {
    struct Found {
        Bytes data;
        bool operator==(const Found&) const = default;
    };
    struct NotFound {
        bool operator==(const NotFound&) const = default;
    };
    struct Failed {
        std::int32_t status = 0;
        bool operator==(const Failed&) const = default;
    };

    std::variant<Found, NotFound, Failed> value;

    bool operator==(const SecretReadOutcome&) const = default;
};

// Where the agent's secrets are kept, by account.
class SecretStore {
public:
    virtual ~SecretStore() = default;

    virtual SecretReadOutcome read(std::string_view account) = 0;
    // True when the item now holds `data`.
    virtual bool write(std::string_view account, ByteView data) = 0;
};

} // namespace kestrava
