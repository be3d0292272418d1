#include "platform/unicode/Unicode.hpp"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

namespace kestrava::unicode {
namespace {

// Building a break iterator loads its rules, so each thread keeps one.
icu::BreakIterator& characterBreaks() {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status) || !made) {
            throw std::runtime_error("no ICU character break iterator: " + std::string(u_errorName(status)));
        }
        return made;
    }();
    return *iterator;
}

// ICU indexes text with 32-bit offsets.
std::int32_t icuLength(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(INT32_MAX)) {
        throw std::length_error("text too long for ICU");
    }
    return static_cast<std::int32_t>(text.size());
}

} // namespace

bool isControl(char32_t scalar) {
    const auto type = u_charType(static_cast<UChar32>(scalar));
    return type == U_CONTROL_CHAR || type == U_FORMAT_CHAR;
}

bool isWhitespaceOrNewline(char32_t scalar) {
    if ((scalar >= U'\t' && scalar <= U'\r') || scalar == U'\u0085') {
        return true;
    }
    const auto type = u_charType(static_cast<UChar32>(scalar));
    return type == U_SPACE_SEPARATOR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR;
}

bool isUnassigned(char32_t scalar) {
    return u_charType(static_cast<UChar32>(scalar)) == U_UNASSIGNED;
}

std::vector<std::size_t> graphemeEnds(std::string_view text) {
    std::vector<std::size_t> ends;
    if (text.empty()) {
        return ends;
    }
    UErrorCode status = U_ZERO_ERROR;
    icu::LocalUTextPointer utext(utext_openUTF8(nullptr, text.data(), icuLength(text), &status));
    icu::BreakIterator& iterator = characterBreaks();
    iterator.setText(utext.getAlias(), status);
    if (U_FAILURE(status)) {
        throw std::runtime_error("ICU cannot segment the text: " + std::string(u_errorName(status)));
    }
    // Over UTF-8 text the iterator's positions are byte offsets.
    for (std::int32_t end = iterator.next(); end != icu::BreakIterator::DONE; end = iterator.next()) {
        ends.push_back(static_cast<std::size_t>(end));
    }
    return ends;
}

std::u32string scalarsOf(std::string_view text) {
    std::u32string scalars;
    scalars.reserve(text.size());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::int32_t length = icuLength(text);
    std::int32_t offset = 0;
    while (offset < length) {
        UChar32 scalar = 0;
        // ICU skips exactly one maximal ill-formed subpart per U+FFFD.
        U8_NEXT_OR_FFFD(bytes, offset, length, scalar);
        scalars.push_back(static_cast<char32_t>(scalar));
    }
    return scalars;
}

void appendUtf8(std::string& text, char32_t scalar) {
    std::uint8_t bytes[U8_MAX_LENGTH];
    std::int32_t length = 0;
    U8_APPEND_UNSAFE(bytes, length, static_cast<UChar32>(scalar));
    text.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
}

std::string repaired(std::string_view text) {
    std::string valid;
    for (const char32_t scalar : scalarsOf(text)) {
        appendUtf8(valid, scalar);
    }
    return valid;
}

} // namespace kestrava::unicode
