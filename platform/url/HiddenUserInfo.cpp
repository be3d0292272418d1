#include "platform/url/HiddenUserInfo.hpp"

namespace kestrava::url {

std::string hidingUserInfo(std::string_view text) {
    const auto slashes = text.find("//");
    if (slashes == std::string_view::npos) {
        return std::string(text);
    }
    // Only a "//" at the start or right after the scheme's ":" opens an authority.
    const std::string_view before = text.substr(0, slashes);
    if (!before.empty() && (before.back() != ':' || before.find_first_of("/?#") != std::string_view::npos)) {
        return std::string(text);
    }
    const auto start = slashes + 2;
    const std::string_view authority = text.substr(start, text.find_first_of("/?#", start) - start);
    const auto at = authority.rfind('@');
    if (at == std::string_view::npos) {
        return std::string(text);
    }
    return std::string(text.substr(0, start)) + "***" + std::string(text.substr(start + at));
}

} // namespace kestrava::url
