#pragma once

#include <filesystem>
#include <string_view>

namespace kestrava {

enum class LogLevel { info, warning, error };

// One line, "<UTC time> <INFO|WARN|ERROR> <message>\n", to standard error and then to the log file. Never
// fails; safe from any thread. Untrusted parts of `message` must have gone through sanitize first.
void log(LogLevel level, std::string_view message);
void logError(std::string_view message);

namespace Log {

// The log file: "agent.log" in the agent's folder of the user's state folder.
const std::filesystem::path& defaultURL();

// Creates the file's missing folders (0700) and opens the file (creating it with 0600); until then lines
// go to standard error only. A file that cannot be opened, or that is not a regular file of this user, is
// named in one line on standard error, and the lines keep going there only.
void configure(const std::filesystem::path& fileURL);

// Lines that bring the file to this size or more move it aside to ".1" (and ".1" to ".2").
inline constexpr long long rotationThreshold = 5 * 1024 * 1024;

} // namespace Log
} // namespace kestrava
