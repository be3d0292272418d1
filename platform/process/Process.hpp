#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace kestrava::process {

using Environment = std::map<std::string, std::string>;

// The process environment as it is now.
Environment environment();

// The program's name as it was invoked, without its folder (not cut to 15 bytes).
std::string name();

// The running executable, and the folder that holds it; nothing when it cannot be found.
std::optional<std::filesystem::path> executablePath();
std::optional<std::filesystem::path> executableDirectory();

// Whether the service manager started this process: the parent is process 1, or MANAGERPID (set by a
// user service manager for what it starts) holds the parent's id in decimal.
bool isStartedByServiceManager();

// Ends the process at once with `status`: no destructors run while other threads may still use what
// they would destroy. Log lines are written synchronously, so nothing is lost.
[[noreturn]] void terminate(int status);

} // namespace kestrava::process
