#pragma once

namespace kestrava {

// Takes the advisory lock on "agent.lock" in the data folder and keeps it until the process ends. False
// when another process holds it. When the file cannot be opened at all the agent still runs (there is
// nothing to lock), with an "ERROR" line saying so.
bool acquireSingleInstanceLock();

} // namespace kestrava
