#include "platform/encoding/Utf8.hpp"

#include <cstddef>

namespace kestrava::utf8 {

bool isValid(std::string_view text) {
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = byteAt(i);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // The lead byte fixes the length and narrows the second byte's range, which is what shuts out
        // overlong forms (C0, C1, E0 80-9F, F0 80-8F), surrogates (ED A0-BF) and values past U+10FFFF
        // (F4 90-BF, F5-FF).
        std::size_t length = 0;
        unsigned char secondLow = 0x80;
        unsigned char secondHigh = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            secondLow = lead == 0xE0 ? 0xA0 : 0x80;
            secondHigh = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            secondLow = lead == 0xF0 ? 0x90 : 0x80;
            secondHigh = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        const unsigned char second = byteAt(i + 1);
        if (second < secondLow || second > secondHigh) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if ((byteAt(i + k) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

} // namespace kestrava::utf8
