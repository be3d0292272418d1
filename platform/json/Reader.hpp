#pragma once

#include "platform/json/Value.hpp"

#include <string_view>

namespace kestrava::json {

inline constexpr std::size_t maxDepth = 512;

// Strict RFC 8259: valid UTF-8 (no lone surrogate escapes), no comments, no trailing text; a leading
// UTF-8 byte-order mark is skipped; nesting deeper than maxDepth fails. Throws DecodeError
// (dataCorrupted) when the text is not valid JSON.
Value parse(std::string_view text);

} // namespace kestrava::json
