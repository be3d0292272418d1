#include "agent-core/session/PhoneName.hpp"

#include "platform/unicode/Unicode.hpp"

#include <algorithm>
#include <cstddef>
#include <string>

namespace kestrava {
namespace {

constexpr std::size_t maxCharacters = 64;
constexpr std::string_view fallbackName = "iPhone";

} // namespace

std::string sanitizePhoneName(std::string_view name) {
    std::u32string kept;
    for (const char32_t scalar : unicode::scalarsOf(name)) {
        if (!unicode::isControl(scalar) && !unicode::isUnassigned(scalar)) {
            kept.push_back(scalar);
        }
    }
    const auto first = std::find_if_not(kept.begin(), kept.end(), unicode::isWhitespaceOrNewline);
    const auto last =
        std::find_if_not(kept.rbegin(), std::make_reverse_iterator(first), unicode::isWhitespaceOrNewline);
    std::string trimmed;
    for (auto scalar = first; scalar != last.base(); ++scalar) {
        unicode::appendUtf8(trimmed, *scalar);
    }
    if (trimmed.empty()) {
        return std::string(fallbackName);
    }
    const std::vector<std::size_t> ends = unicode::graphemeEnds(trimmed);
    if (ends.size() > maxCharacters) {
        trimmed.resize(ends[maxCharacters - 1]);
    }
    return trimmed;
}

} // namespace kestrava
