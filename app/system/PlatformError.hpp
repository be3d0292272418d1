#pragma once

#include <string>

namespace kestrava::app {

// A failure reported by the system (the service manager, the file system), with its own description and,
// where the system named it, the common cause the user is told of in words of ours.
struct PlatformError {
    enum class Cause {
        unnamed,          // the description alone tells what happened
        noServiceManager, // the session has no service manager for the user to reach
        accessDenied,     // the system refused: not allowed
        unitNotFound,     // the service manager does not know the agent's unit
        timedOut,         // the service manager did not answer in time
    };

    std::string description;
    Cause cause = Cause::unnamed;

    bool operator==(const PlatformError&) const = default;
};

} // namespace kestrava::app
