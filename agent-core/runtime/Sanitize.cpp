#include "agent-core/runtime/Sanitize.hpp"

#include "platform/unicode/Unicode.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kestrava {
namespace {

constexpr std::string_view ellipsis = "\xE2\x80\xA6"; // U+2026

// "\u{" + the scalar in upper-case hexadecimal without leading zeros + "}".
void appendEscape(std::string& out, char32_t scalar) {
    static constexpr char digits[] = "0123456789ABCDEF";
    char hex[8];
    std::size_t count = 0;
    for (auto value = static_cast<std::uint32_t>(scalar); count == 0 || value != 0; value >>= 4) {
        hex[count++] = digits[value & 0xF];
    }
    out += "\\u{";
    while (count > 0) {
        out.push_back(hex[--count]);
    }
    out.push_back('}');
}

} // namespace

std::string sanitize(std::string_view text, std::size_t max) {
    if (text.empty()) {
        return {};
    }
    if (max == 0) {
        return std::string(ellipsis);
    }
    // The safe form of the whole text, and where it ended after each scalar or escape was appended.
    std::string safe;
    std::vector<std::size_t> stepEnds;
    for (const char32_t scalar : unicode::scalarsOf(text)) {
        if (unicode::isControl(scalar) || unicode::isUnassigned(scalar)) {
            appendEscape(safe, scalar);
        } else {
            unicode::appendUtf8(safe, scalar);
        }
        stepEnds.push_back(safe.size());
    }
    // A cluster boundary depends only on the text before it and the scalar after it, so the safe form as
    // it stood after a step holds exactly the clusters of the whole that start before the step's end.
    // Re-counting after every step instead would be quadratic in one long cluster.
    const std::vector<std::size_t> clusterEnds = unicode::graphemeEnds(safe);
    if (clusterEnds.size() < max) {
        return safe;
    }
    // The count first reaches `max` at the first step that ends past the start of cluster `max`; the
    // output then holds its first `max` clusters, cut short where that step ended.
    const std::size_t lastClusterStart = max == 1 ? 0 : clusterEnds[max - 2];
    const std::size_t stepEnd = *std::upper_bound(stepEnds.begin(), stepEnds.end(), lastClusterStart);
    safe.resize(std::min(stepEnd, clusterEnds[max - 1]));
    return safe += ellipsis;
}

} // namespace kestrava
