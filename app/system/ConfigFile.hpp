#pragma once

#include "app/async/Result.hpp"
#include "app/system/PlatformError.hpp"

#include <filesystem>
#include <string_view>

namespace kestrava::app {

// A file of the user's configuration (a unit, an autostart entry), as the desktop reads it.

// Replaces `file` durably with `text` (mode 0644), making its missing folders with 0700 as XDG asks.
Result<void, PlatformError> writeConfigFile(const std::filesystem::path& file, std::string_view text);

// Removes `file`; one that is not there is no error.
Result<void, PlatformError> removeConfigFile(const std::filesystem::path& file);

} // namespace kestrava::app
