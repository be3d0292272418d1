#include "protocol-kit/RelayToken.hpp"

#include <algorithm>

namespace kestrava {

std::optional<std::string> relayTokenProblem(std::string_view token) {
    if (token.empty()) {
        return "is empty";
    }
    if (token.size() > maxRelayTokenLength) {
        return "is longer than " + std::to_string(maxRelayTokenLength) + " bytes";
    }
    if (std::ranges::any_of(token, [](unsigned char byte) { return byte < 0x20 || byte == 0x7F; })) {
        return "holds a control character";
    }
    if (!std::ranges::all_of(token, [](unsigned char byte) { return byte >= 0x21 && byte <= 0x7E; })) {
        return "is not visible ASCII";
    }
    return std::nullopt;
}

} // namespace kestrava
