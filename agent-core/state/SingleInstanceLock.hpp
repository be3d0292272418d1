#pragma once

namespace kestrava {

enum class SingleInstanceLock {
    held,
    takenByAnother,
    // The file cannot be opened at all: the agent still runs (there is nothing to lock), with an "ERROR"
    // line saying so, but must not assume it is alone.
    unavailable,
};

// Takes the advisory lock on "agent.lock" in the data folder and keeps it until the process ends.
SingleInstanceLock acquireSingleInstanceLock();

} // namespace kestrava
