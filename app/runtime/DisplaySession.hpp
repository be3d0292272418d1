#pragma once

#include "app/runtime/DisplayPlatform.hpp"

namespace kestrava::app {

// This process's session: its environment's DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM (an empty one
// counts as unset), and whether each display answers a connection. Nothing is asked where the caller chose
// the platform.
DisplaySession currentDisplaySession();

} // namespace kestrava::app
