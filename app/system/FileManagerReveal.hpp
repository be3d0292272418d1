#pragma once

#include <filesystem>

namespace kestrava::app {

// Opens the desktop's file manager with `item` selected, or at least its folder when the file manager
// cannot select. Fire and forget: the outcome is not reported. Interface thread.
void revealInFileManager(const std::filesystem::path& item);

} // namespace kestrava::app
