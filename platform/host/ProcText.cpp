#include "platform/host/ProcText.hpp"

#include "platform/files/FileError.hpp"
#include "platform/files/Files.hpp"

#include <charconv>

namespace kestrava::host {
namespace {

// The kernel's reports read here are a few kilobytes.
constexpr std::size_t maxProcTextSize = 4 * 1024 * 1024;

} // namespace

std::optional<std::string> procText(const std::filesystem::path& file) {
    try {
        return textOf(files::readAll(file, maxProcTextSize));
    } catch (const files::FileError&) {
        return std::nullopt;
    }
}

std::optional<std::uint64_t> procNumber(std::string_view text, std::string_view label) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.starts_with(label)) {
            continue;
        }
        line.remove_prefix(label.size());
        const auto start = line.find_first_not_of(" \t");
        if (start == 0 || start == std::string_view::npos) {
            continue; // "btime2" is another label
        }
        std::uint64_t number = 0;
        const auto [next, error] = std::from_chars(line.data() + start, line.data() + line.size(), number);
        const bool endsThere = next == line.data() + line.size() || *next == ' ' || *next == '\t';
        return error == std::errc() && endsThere ? std::optional(number) : std::nullopt;
    }
    return std::nullopt;
}

} // namespace kestrava::host
