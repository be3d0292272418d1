#pragma once

#include <filesystem>
#include <string>

namespace kestrava::files {

// $HOME when it is an absolute path, else the user database's home folder of the effective user.
std::filesystem::path homeDirectory();

// The effective user's name in the user database; empty when it has none.
std::string userName();

// The XDG base folders: the variable when it holds an absolute path, else the default under home.
std::filesystem::path dataHome();   // $XDG_DATA_HOME or ~/.local/share
std::filesystem::path stateHome();  // $XDG_STATE_HOME or ~/.local/state
std::filesystem::path configHome(); // $XDG_CONFIG_HOME or ~/.config

} // namespace kestrava::files
