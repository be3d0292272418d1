#include "agent-core/state/StateFileMembers.hpp"

#include "platform/encoding/Base64.hpp"
#include "platform/time/Iso8601.hpp"

namespace kestrava {
namespace {

Timestamp dateFrom(const json::ObjectReader& reader, std::string_view key, std::string_view text) {
    const auto date = iso8601::parse(text);
    if (!date) {
        reader.dataCorrupted(key, "Expected date string to be ISO8601-formatted.");
    }
    return *date;
}

} // namespace

Timestamp readDateMember(const json::ObjectReader& reader, std::string_view key) {
    return dateFrom(reader, key, reader.string(key));
}

Timestamp readDateValue(const json::ObjectReader& reader, const json::Member& member) {
    if (const std::string* text = member.value.asString()) {
        return dateFrom(reader, member.key, *text);
    }
    // Not text: the reader's own error for it.
    return readDateMember(reader, member.key);
}

std::optional<Timestamp> readOptionalDateMember(const json::ObjectReader& reader, std::string_view key) {
    const auto text = reader.optionalString(key);
    if (!text) {
        return std::nullopt;
    }
    return dateFrom(reader, key, *text);
}

Bytes readBase64Member(const json::ObjectReader& reader, std::string_view key) {
    auto bytes = base64::decode(reader.string(key));
    if (!bytes) {
        reader.dataCorrupted(key, "Encountered Data is not valid Base64.");
    }
    return std::move(*bytes);
}

} // namespace kestrava
