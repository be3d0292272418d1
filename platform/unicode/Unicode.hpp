#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrava::unicode {

// Control characters: general categories Cc and Cf.
bool isControl(char32_t scalar);

// White space and line breaks: general categories Zs, Zl and Zp, the controls TAB to CR, and NEL.
bool isWhitespaceOrNewline(char32_t scalar);

// Code points not assigned in the Unicode data the system carries (general category Cn).
bool isUnassigned(char32_t scalar);

// The byte offsets, in valid UTF-8 text, at which its extended grapheme clusters end, in order.
std::vector<std::size_t> graphemeEnds(std::string_view text);

// The scalars of UTF-8 text that need not be valid: each maximal ill-formed subpart reads as one U+FFFD.
std::u32string scalarsOf(std::string_view text);

// Appends the UTF-8 form of a scalar (not a surrogate).
void appendUtf8(std::string& text, char32_t scalar);

// UTF-8 text that need not be valid, made valid: each maximal ill-formed subpart becomes one U+FFFD.
std::string repaired(std::string_view text);

} // namespace kestrava::unicode
