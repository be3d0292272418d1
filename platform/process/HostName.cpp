#include "platform/process/HostName.hpp"

#include "platform/encoding/Utf8.hpp"

#include <fstream>
#include <limits.h>
#include <unistd.h>

namespace kestrava::process {
namespace {

// The value of an environment-file assignment: quotes removed, backslash escapes resolved.
std::string unquoted(const std::string& value) {
    std::string out;
    char quote = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quote == 0 && (c == '\'' || c == '"')) {
            quote = c;
        } else if (quote != 0 && c == quote) {
            quote = 0;
        } else if (c == '\\' && quote != '\'' && i + 1 < value.size()) {
            out.push_back(value[++i]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::optional<std::string> prettyHostName(const std::filesystem::path& machineInfo) {
    std::ifstream file(machineInfo);
    std::string line;
    while (std::getline(file, line)) {
        static constexpr std::string_view key = "PRETTY_HOSTNAME=";
        if (line.starts_with(key)) {
            std::string value = unquoted(line.substr(key.size()));
            return value.empty() || !utf8::isValid(value) ? std::nullopt : std::optional(value);
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> localizedHostName(const std::filesystem::path& machineInfo) {
    if (auto pretty = prettyHostName(machineInfo)) {
        return pretty;
    }
    char buffer[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buffer, sizeof buffer - 1) == 0 && buffer[0] != '\0' && utf8::isValid(buffer)) {
        return std::string(buffer);
    }
    return std::nullopt;
}

} // namespace kestrava::process
