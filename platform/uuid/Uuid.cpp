#include "platform/uuid/Uuid.hpp"

#include "platform/crypto/Random.hpp"
#include "platform/encoding/Hex.hpp"

#include <algorithm>
#include <array>

namespace kestrava::uuid {

std::string randomLowercase() {
    std::array<std::uint8_t, 16> bytes{};
    crypto::fillRandom(bytes);
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80); // variant 10xx
    std::string text = hex::lowercase(bytes);
    for (const std::size_t dash : {8, 13, 18, 23}) {
        text.insert(dash, 1, '-');
    }
    return text;
}

std::string randomUppercase() {
    std::string text = randomLowercase();
    std::ranges::transform(text, text.begin(), [](char c) {
        return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return text;
}

} // namespace kestrava::uuid
