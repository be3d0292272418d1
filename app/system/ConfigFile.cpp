#include "app/system/ConfigFile.hpp"

#include "app/runtime/AppLog.hpp"
#include "platform/bytes/Bytes.hpp"
#include "platform/files/FileError.hpp"
#include "platform/files/Files.hpp"

#include <system_error>

namespace kestrava::app {

Result<void, PlatformError> writeConfigFile(const std::filesystem::path& file, std::string_view text) {
    try {
        files::createDirectories(file.parent_path(), 0700);
        if (const auto unflushed = files::replaceDurably(file, bytesOf(text), 0644)) {
            appLog(AppLogLevel::warning, "ConfigFile",
                   std::string("saved, but a power cut may still undo it: ") + unflushed->what());
        }
    } catch (const files::FileError& error) {
        return PlatformError{error.what()};
    }
    return {};
}

Result<void, PlatformError> removeConfigFile(const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::remove(file, error);
    if (error) {
        return PlatformError{"remove " + file.string() + ": " + files::errorText(error.value())};
    }
    return {};
}

} // namespace kestrava::app
