#pragma once

#include <string_view>

namespace kestrava::utf8 {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. NUL and
// noncharacters are valid.
bool isValid(std::string_view text);

} // namespace kestrava::utf8
