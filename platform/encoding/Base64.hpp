#pragma once

#include "platform/bytes/Bytes.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace kestrava::base64 {

// RFC 4648 section 4: standard alphabet, "=" padding, no line breaks.
std::string encode(ByteView bytes);

// Strict: standard alphabet only, length a multiple of four, "=" only as the last one or two
// characters, no white space. Non-zero unused bits in the last character are accepted.
std::optional<Bytes> decode(std::string_view text);

} // namespace kestrava::base64
