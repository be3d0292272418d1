#include "platform/host/GnomeIdleSuspend.hpp"

#include "platform/host/ToolRunner.hpp"

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

namespace kestrava::host {
namespace {

constexpr auto toolLimit = std::chrono::seconds(2);

// The printed value of one key, without the line break.
std::optional<std::string> setting(const std::filesystem::path& gsettings, const std::string& key) {
    auto text = runTool(gsettings, {"get", "org.gnome.settings-daemon.plugins.power", key}, toolLimit);
    if (text) {
        text->erase(text->find_last_not_of(" \t\r\n") + 1);
    }
    return text;
}

// The word inside a printed text value such as 'suspend'.
std::optional<std::string_view> quotedWord(const std::string& text) {
    if (text.size() < 2 || text.front() != '\'' || text.back() != '\'') {
        return std::nullopt;
    }
    return std::string_view(text).substr(1, text.size() - 2);
}

std::optional<std::int64_t> seconds(const std::string& text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::int64_t gnomeIdleSuspendMinutes(bool onACPower, const std::filesystem::path& gsettings) {
    const std::string keyPrefix = onACPower ? "sleep-inactive-ac-" : "sleep-inactive-battery-";
    const auto typeText = setting(gsettings, keyPrefix + "type");
    const auto type = typeText ? quotedWord(*typeText) : std::nullopt;
    if (!type) {
        return -1;
    }
    if (*type == "nothing") {
        return 0;
    }
    const auto timeoutText = setting(gsettings, keyPrefix + "timeout");
    const auto timeout = timeoutText ? seconds(*timeoutText) : std::nullopt;
    if (!timeout) {
        return -1;
    }
    return *timeout / 60 + (*timeout % 60 != 0 ? 1 : 0);
}

} // namespace kestrava::host
