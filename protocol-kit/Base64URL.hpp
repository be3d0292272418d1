#pragma once

#include "platform/bytes/Bytes.hpp"

#include <optional>
#include <string>
#include <string_view>

// URL-safe Base64 without padding: the one encoding of every binary value inside the text formats.
namespace kestrava::Base64URL {

std::string encode(ByteView bytes);

// Absent when the text is not strict URL-safe Base64: "=", "+", "/", white space and any non-ASCII
// byte are refused, and so is a length of 1 modulo 4. Empty text decodes to empty bytes.
std::optional<Bytes> decode(std::string_view text);

// True when any byte of the text lies outside A-Z a-z 0-9 "-" "_".
bool hasInvalidCharacters(std::string_view text);

} // namespace kestrava::Base64URL
