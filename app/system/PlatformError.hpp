#pragma once

#include <string>

namespace kestrava::app {

// A failure reported by the system (the service manager, the file system), with its own description.
struct PlatformError {
    std::string description;

    bool operator==(const PlatformError&) const = default;
};

} // namespace kestrava::app
