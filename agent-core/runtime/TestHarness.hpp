#pragma once

namespace kestrava {

// True when this process is a test run: then the secret store is never touched and the user's real data
// folder is never written. Decided once.
bool isRunningUnderTests();

} // namespace kestrava
