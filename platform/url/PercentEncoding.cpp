#include "platform/url/PercentEncoding.hpp"

#include "platform/encoding/Hex.hpp"
#include "platform/encoding/Utf8.hpp"

namespace kestrava::url {

bool isUnreserved(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

bool isQueryItemCharacter(unsigned char byte) {
    return isUnreserved(byte) ||
           std::string_view("!$'()*+,;:@/?").find(static_cast<char>(byte)) != std::string_view::npos;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (text.size() - i < 3) {
            return std::nullopt;
        }
        const int high = hex::digitValue(text[i + 1]);
        const int low = hex::digitValue(text[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    if (!utf8::isValid(out)) {
        return std::nullopt;
    }
    return out;
}

} // namespace kestrava::url
