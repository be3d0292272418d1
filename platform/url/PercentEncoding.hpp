#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrava::url {

// True for the 66 unreserved characters of RFC 3986: A-Z a-z 0-9 - . _ ~
bool isUnreserved(unsigned char byte);

// What a query item's name or value keeps unescaped: the query characters of RFC 3986 (unreserved,
// !$'()*+,; : @ / ?) except "&" and "=", which separate the items.
bool isQueryItemCharacter(unsigned char byte);

// Every UTF-8 byte for which `allowed` is false becomes "%" and two upper-case hexadecimal digits.
template<class Allowed>
std::string percentEncode(std::string_view text, Allowed allowed) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char byte : text) {
        if (allowed(byte)) {
            out.push_back(static_cast<char>(byte));
        } else {
            out.push_back('%');
            out.push_back(digits[byte >> 4]);
            out.push_back(digits[byte & 0x0F]);
        }
    }
    return out;
}

// Decodes every "%XX"; nothing when an escape is malformed or the result is not valid UTF-8.
// "+" stays "+".
std::optional<std::string> percentDecode(std::string_view text);

} // namespace kestrava::url
