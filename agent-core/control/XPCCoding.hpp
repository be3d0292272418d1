#pragma once

#include "agent-core/control/PhoneInfo.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"

#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The JSON text in which the agent hands its values to the application: compact, keys sorted at every
// level, "/" escaped, dates as milliseconds since 1970. Decoding ignores unknown keys and throws
// json::DecodeError on malformed text, a missing required key or a value of the wrong type.
namespace kestrava::XPCCoding {

inline constexpr json::WriteOptions writeOptions{true, false, true};

template<class T>
std::string encode(const T& value) {
    return json::write(value.encode(), writeOptions);
}

// A list of phones is a JSON array.
std::string encode(const std::vector<PhoneInfo>& phones);

// As encode, with none where encode throws: the control surface answers none then.
template<class T>
std::optional<std::string> encodeOrNone(const T& value) {
    try {
        return encode(value);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

template<class T>
T decode(std::string_view bytes) {
    return T::decode(json::ObjectReader(json::parse(bytes)));
}

template<>
std::vector<PhoneInfo> decode<std::vector<PhoneInfo>>(std::string_view bytes);

} // namespace kestrava::XPCCoding
