#pragma once

#include "platform/bytes/Bytes.hpp"
#include "platform/url/Url.hpp"

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrava {

// The value behind the pairing link that the Mac shows as a QR code: everything a phone needs to pair.
struct PairingQR {
    std::int64_t v;
    url::Url backendURL;
    std::string deviceId;
    Bytes secret;
    Bytes macPublicKey;
    std::string macName;

    // The 66 unreserved characters of RFC 3986, the only bytes a link item carries unescaped.
    static const std::bitset<256>& allowedCharacters();

    // "kestrava://pair?v=..&u=..&d=..&s=..&k=..&n=.."
    std::string urlString() const;

    // The phone's reader of a link: nothing when the link breaks any rule, with no reason given.
    static std::optional<PairingQR> parse(std::string_view link);

    bool operator==(const PairingQR&) const = default;
};

} // namespace kestrava
