#pragma once

#include <string>

namespace kestrava::app {

// The administrator's part of the power setup, shown to the user exactly as it runs. The machine's idle
// action is turned off by a login-manager drop-in of our own, and given back by removing it, so that the
// administrator's own settings hold again. The login manager rereads its settings on SIGHUP.
// There is no idle setting for mains power alone: both apply to every power source.
std::string powerApplyCommand();
std::string powerUndoCommand();

} // namespace kestrava::app
