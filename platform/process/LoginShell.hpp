#pragma once

#include <string>

namespace kestrava::process {

// The shell that runs the user's commands, given the value of $SHELL (null when it is not set): that
// value when it names zsh or bash in /bin or /usr/bin; any other shell or path is not trusted, and then
// it is /bin/zsh when that is installed, else /bin/bash.
std::string loginShellPath(const char* shellVariable);

} // namespace kestrava::process
