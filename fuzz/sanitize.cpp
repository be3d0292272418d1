#include "agent-core/runtime/Sanitize.hpp"

#include "agent-core/session/PhoneName.hpp"
#include "platform/encoding/Utf8.hpp"
#include "platform/unicode/Unicode.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace kestrava;

namespace {

bool hasControlCharacter(const std::string& text) {
    const std::u32string scalars = unicode::scalarsOf(text);
    return std::any_of(scalars.begin(), scalars.end(),
                       [](char32_t scalar) { return unicode::isControl(scalar); });
}

} // namespace

// Text from a phone or the relay, made fit for a log line or the screen: whatever the bytes, the result
// is UTF-8 without a control character (no forged line, no terminal escape), and no longer in clusters
// than asked (plus the ellipsis). The first byte picks the length limit.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t max = data[0];
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string logged = sanitize(text, max);
    if (!utf8::isValid(logged) || hasControlCharacter(logged) ||
        unicode::graphemeEnds(logged).size() > std::max<std::size_t>(max, 1) + 1) {
        std::abort();
    }
    if (utf8::isValid(text)) {
        const std::string shown = sanitizePhoneName(text);
        if (!utf8::isValid(shown) || hasControlCharacter(shown) || shown.empty() ||
            unicode::graphemeEnds(shown).size() > 64) {
            std::abort();
        }
    }
    return 0;
}
