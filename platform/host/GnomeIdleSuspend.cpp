#include "platform/host/GnomeIdleSuspend.hpp"

#include "platform/files/FolderList.hpp"
#include "platform/files/UserFolders.hpp"
#include "platform/process/ProgramOnPath.hpp"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kestrava::host {
namespace {

constexpr std::string_view schema = "org.gnome.settings-daemon.plugins.power";

// The folders GSettings reads schemas from, with GLib's defaults.
std::vector<std::filesystem::path> schemaFolders() {
    const char* schemaDirs = std::getenv("GSETTINGS_SCHEMA_DIR");
    std::vector<std::filesystem::path> folders = files::absoluteFolders(schemaDirs ? schemaDirs : "");
    folders.push_back(files::dataHome() / "glib-2.0" / "schemas");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    for (const auto& data :
         files::absoluteFolders(dataDirs && *dataDirs ? dataDirs : "/usr/local/share/:/usr/share/")) {
        folders.push_back(data / "glib-2.0" / "schemas");
    }
    return folders;
}

// The printed value of each key of the power schema, first line first.
std::map<std::string, std::string, std::less<>> powerSettings(std::string_view listing) {
    std::map<std::string, std::string, std::less<>> values;
    for (std::size_t start = 0; start < listing.size();) {
        const std::size_t end = std::min(listing.find('\n', start), listing.size());
        std::string_view line = listing.substr(start, end - start);
        start = end + 1;
        line.remove_suffix(line.size() - (line.find_last_not_of(" \t\r") + 1));
        if (!line.starts_with(schema) || line.substr(schema.size(), 1) != " ") {
            continue;
        }
        line.remove_prefix(schema.size() + 1);
        const std::size_t space = line.find(' ');
        if (space != std::string_view::npos) {
            values.emplace(line.substr(0, space), line.substr(space + 1));
        }
    }
    return values;
}

// The word inside a printed text value such as 'suspend'.
std::optional<std::string_view> quotedWord(std::string_view text) {
    if (text.size() < 2 || text.front() != '\'' || text.back() != '\'') {
        return std::nullopt;
    }
    return text.substr(1, text.size() - 2);
}

std::optional<std::int64_t> seconds(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

// Both keys of both power states in one run.
std::optional<ToolRun> startListing() {
    const auto gsettings = process::programOnPath("gsettings");
    return gsettings ? ToolRun::start(*gsettings, {"list-recursively", std::string(schema)}) : std::nullopt;
}

} // namespace

bool gnomePowerSettingsInstalled() {
    const std::string file = std::string(schema) + ".gschema.xml";
    std::error_code error;
    for (const auto& folder : schemaFolders()) {
        if (std::filesystem::exists(folder / file, error)) {
            return true;
        }
    }
    return false;
}

std::int64_t gnomeIdleSuspendMinutes(std::string_view listing, bool onACPower) {
    const std::string keyPrefix = onACPower ? "sleep-inactive-ac-" : "sleep-inactive-battery-";
    const auto values = powerSettings(listing);
    const auto typeText = values.find(keyPrefix + "type");
    const auto type = typeText != values.end() ? quotedWord(typeText->second) : std::nullopt;
    if (!type) {
        return -1;
    }
    if (*type == "nothing") {
        return 0;
    }
    const auto timeoutText = values.find(keyPrefix + "timeout");
    const auto timeout = timeoutText != values.end() ? seconds(timeoutText->second) : std::nullopt;
    if (!timeout) {
        return -1;
    }
    return *timeout / 60 + (*timeout % 60 != 0 ? 1 : 0);
}

GnomeIdleSuspendReading::GnomeIdleSuspendReading() : run_(startListing()) {}

std::int64_t GnomeIdleSuspendReading::minutes(bool onACPower, ToolRun::Clock::time_point deadline) {
    const auto listing = run_ ? run_->finish(deadline) : std::nullopt;
    run_.reset();
    return listing ? gnomeIdleSuspendMinutes(*listing, onACPower) : -1;
}

} // namespace kestrava::host
