#pragma once

#include "platform/bytes/Bytes.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/time/Timestamp.hpp"

#include <optional>
#include <string_view>

namespace kestrava {

// Readers of the state file's member forms. A date is ISO 8601 text in whole seconds (a fraction of a
// second is refused); bytes are standard Base64 with "=" fill. Text of another form fails as corrupted
// data at `key`.
Timestamp readDateMember(const json::ObjectReader& reader, std::string_view key);
// The same for `member` of the object `reader` reads, without looking it up by name.
Timestamp readDateValue(const json::ObjectReader& reader, const json::Member& member);
std::optional<Timestamp> readOptionalDateMember(const json::ObjectReader& reader, std::string_view key);
Bytes readBase64Member(const json::ObjectReader& reader, std::string_view key);

} // namespace kestrava
