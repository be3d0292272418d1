#include "app/system/KeyFile.hpp"

#include <algorithm>

namespace kestrava::app {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::optional<std::string> keyFileValue(std::string_view text,
                                        const std::function<bool(std::string_view)>& inGroup,
                                        std::string_view key) {
    std::optional<std::string> value;
    bool inside = false;
    while (!text.empty()) {
        const auto end = std::min(text.find('\n'), text.size());
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.empty() || line.front() == '#' || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            inside = line.back() == ']' && inGroup(line.substr(1, line.size() - 2));
            continue;
        }
        const auto equals = line.find('=');
        if (inside && equals != std::string_view::npos && trimmed(line.substr(0, equals)) == key) {
            value = std::string(trimmed(line.substr(equals + 1)));
        }
    }
    return value;
}

} // namespace kestrava::app
