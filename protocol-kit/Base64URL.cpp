#include "protocol-kit/Base64URL.hpp"

#include "platform/encoding/Base64.hpp"

#include <algorithm>

namespace kestrava::Base64URL {

std::string encode(ByteView bytes) {
    std::string text = base64::encode(bytes);
    std::replace(text.begin(), text.end(), '+', '-');
    std::replace(text.begin(), text.end(), '/', '_');
    text.erase(std::find(text.begin(), text.end(), '='), text.end());
    return text;
}

std::optional<Bytes> decode(std::string_view text) {
    if (text.size() % 4 == 1 || hasInvalidCharacters(text)) {
        return std::nullopt;
    }
    std::string standard(text);
    std::replace(standard.begin(), standard.end(), '-', '+');
    std::replace(standard.begin(), standard.end(), '_', '/');
    standard.append((4 - standard.size() % 4) % 4, '=');
    return base64::decode(standard);
}

bool hasInvalidCharacters(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        return !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                 c == '_');
    });
}

} // namespace kestrava::Base64URL
