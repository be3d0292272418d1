#include "app/system/AutostartEntry.hpp"

#include "app/system/ConfigFile.hpp"
#include "platform/files/Files.hpp"

#include <sstream>
#include <string>

namespace kestrava::app {
namespace {

// An entry is a few lines; anything near this size is not ours.
constexpr std::size_t maxEntrySize = 64 * 1024;

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// "Hidden=true" in the main group: the user deleted the entry in a desktop's settings, which keeps the
// file so that a system-wide entry of the same name stays off too.
bool hidden(const std::string& entry) {
    std::istringstream lines(entry);
    std::string line;
    bool inMainGroup = false;
    while (std::getline(lines, line)) {
        const std::string_view text = trimmed(line);
        if (text.starts_with('[')) {
            inMainGroup = text == "[Desktop Entry]";
            continue;
        }
        const auto equals = text.find('=');
        if (inMainGroup && equals != std::string_view::npos && trimmed(text.substr(0, equals)) == "Hidden" &&
            trimmed(text.substr(equals + 1)) == "true") {
            return true;
        }
    }
    return false;
}

} // namespace

AutostartEntry::AutostartEntry(std::filesystem::path configHome,
                               std::optional<std::filesystem::path> applicationExecutable)
    : entryFile_(configHome / "autostart" / "kestrava.desktop"),
      applicationExecutable_(std::move(applicationExecutable)) {}

ServiceStatus AutostartEntry::status() const {
    if (!applicationExecutable_) {
        return ServiceStatus::notFound;
    }
    try {
        const std::string entry = textOf(files::readAll(entryFile_, maxEntrySize));
        return hidden(entry) ? ServiceStatus::notRegistered : ServiceStatus::enabled;
    } catch (const std::exception&) {
        // Missing or unreadable: the desktop will not start it either.
        return ServiceStatus::notRegistered;
    }
}

QCoro::Task<Result<void, PlatformError>> AutostartEntry::registerService() {
    if (!applicationExecutable_) {
        co_return PlatformError{"the application's own program is unknown"};
    }
    const std::string entry = "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Kestrava\n"
                              "Exec=" +
                              applicationExecutable_->string() +
                              "\n"
                              "X-GNOME-Autostart-enabled=true\n";
    co_return writeConfigFile(entryFile_, entry);
}

QCoro::Task<Result<void, PlatformError>> AutostartEntry::unregisterService() {
    co_return removeConfigFile(entryFile_);
}

void AutostartEntry::openSystemSettingsLoginItems() {
    // Nothing blocks an autostart entry, so there is nothing to lift.
}

} // namespace kestrava::app
