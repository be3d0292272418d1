#include "app/system/AutostartEntry.hpp"

#include "app/system/ConfigFile.hpp"
#include "app/system/KeyFile.hpp"
#include "platform/files/Files.hpp"

#include <string>

namespace kestrava::app {
namespace {

// An entry is a few lines; anything near this size is not ours.
constexpr std::size_t maxEntrySize = 64 * 1024;

// "Hidden=true" in the main group: the user deleted the entry in a desktop's settings, which keeps the
// file so that a system-wide entry of the same name stays off too.
bool hidden(const std::string& entry) {
    return keyFileValue(
               entry, [](std::string_view group) { return group == "Desktop Entry"; }, "Hidden") == "true";
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

namespace {

// `path` as the program of a desktop entry's command line: quoted when it holds a character the format
// reserves, with "%" (a field code) doubled and backslashes escaped once more for the entry's string.
std::string execProgram(const std::string& path) {
    static const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    const bool quoted = path.find_first_of(reserved) != std::string::npos;
    std::string program;
    for (const char c : path) {
        if (c == '%') {
            program += "%%";
        } else if (quoted && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            program += c == '\\' ? "\\\\\\\\" : std::string{'\\', '\\', c};
        } else {
            program += c;
        }
    }
    return quoted ? '"' + program + '"' : program;
}

} // namespace

QCoro::Task<Result<void, PlatformError>> AutostartEntry::registerService() {
    if (!applicationExecutable_) {
        co_return PlatformError{"the application's own program is unknown"};
    }
    const std::string entry = "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Kestrava\n"
                              "Exec=" +
                              execProgram(applicationExecutable_->string()) +
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
