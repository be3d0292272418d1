#pragma once

#include "platform/bytes/Bytes.hpp"
#include "platform/json/ObjectReader.hpp"

#include <string_view>

namespace kestrava {

// The required string member `key`, decoded as strict URL-safe Base64. Text the decoder refuses fails
// as corrupted data at `key` with "invalid base64url".
Bytes readBase64URLMember(const json::ObjectReader& reader, std::string_view key);

} // namespace kestrava
