#include "agent-core/control/NotificationSignal.hpp"

#include "platform/encoding/Hex.hpp"

namespace kestrava {
namespace {

bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool isNameByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || isDigit(c);
}

std::string escapedElement(std::string_view element) {
    if (element.empty()) {
        return "_";
    }
    std::string escaped;
    if (isDigit(static_cast<unsigned char>(element.front()))) {
        escaped += '_';
    }
    for (const unsigned char c : element) {
        if (isNameByte(c)) {
            escaped += static_cast<char>(c);
        } else {
            escaped += '_' + hex::lowercase(ByteView(&c, 1));
        }
    }
    return escaped;
}

} // namespace

NotificationSignal notificationSignal(std::string_view notificationName) {
    const std::size_t lastDot = notificationName.rfind('.');
    const std::string_view prefix =
        lastDot == std::string_view::npos ? std::string_view() : notificationName.substr(0, lastDot);
    const std::string_view member =
        lastDot == std::string_view::npos ? notificationName : notificationName.substr(lastDot + 1);

    NotificationSignal signal{"", escapedElement(member), ""};
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = prefix.find('.', start);
        const std::string element = escapedElement(prefix.substr(start, dot - start));
        signal.interface += (start == 0 ? "" : ".") + element;
        signal.path += "/" + element;
        if (dot == std::string_view::npos) {
            return signal;
        }
        start = dot + 1;
    }
}

} // namespace kestrava
