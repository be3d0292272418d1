#include "protocol-kit/Base64URLMember.hpp"

#include "protocol-kit/Base64URL.hpp"

namespace kestrava {

Bytes readBase64URLMember(const json::ObjectReader& reader, std::string_view key) {
    auto bytes = Base64URL::decode(reader.string(key));
    if (!bytes) {
        reader.dataCorrupted(key, "invalid base64url");
    }
    return std::move(*bytes);
}

} // namespace kestrava
