#pragma once

#include "platform/bytes/Bytes.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"
#include "platform/time/Timestamp.hpp"
#include "protocol-kit/CommandKind.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestrava {

// A command from a paired phone, signed over its fields and the two identities it is bound to.
struct SignedCommand {
    // Receives the signing bytes and returns the DER signature; whatever it throws passes through.
    using Signer = std::function<Bytes(ByteView signingBytes)>;

    std::string id;
    CommandKind kind = CommandKind::exec;
    std::string cmd;
    std::int64_t timeoutSec = 0;
    std::int64_t issuedAt = 0;
    std::string nonce;
    Bytes signature;

    // The UTF-8 signing text: nine lines joined by "\n", the command line in standard Base64 last.
    Bytes signingBytes(std::string_view deviceId, std::string_view phoneId) const;

    // The random bytes a builder's nonce is made of.
    using NonceBytes = std::array<std::uint8_t, 16>;

    // The phone's side: the nonce from `nonceBytes`, which the caller draws fresh from a secure source,
    // `now` in whole seconds, signed by `sign`. Throws std::invalid_argument, and makes no command, when
    // `id` breaks the token rule.
    static SignedCommand make(std::string id, CommandKind kind, std::string cmd, std::int64_t timeoutSec,
                              Timestamp now, const NonceBytes& nonceBytes, std::string_view deviceId,
                              std::string_view phoneId, const Signer& sign);

    json::Object encode() const;
    static SignedCommand decode(const json::ObjectReader& reader);

    bool operator==(const SignedCommand&) const = default;
};

} // namespace kestrava
