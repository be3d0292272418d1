#pragma once

#include <filesystem>

namespace kestrava {

// The agent's data folder: the user's data folder, then the packaging's folder name.
const std::filesystem::path& dataDirectory();
const std::filesystem::path& configFileURL(); // "config.json" in it
const std::filesystem::path& stateFileURL();  // "state.json" in it
// The same folder with the built-in name, whatever the packaging says.
const std::filesystem::path& defaultDataDirectory();

// True for a path below either data folder (after removing "." and ".."; links are not followed).
bool isInsideRealDataDirectory(const std::filesystem::path& path);

} // namespace kestrava
