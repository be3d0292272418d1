#pragma once

#include <QString>

namespace kestrava::app {

// Whether Qt shows windows through Xwayland: its X platform in a session that names a Wayland compositor.
bool isXwayland(const QString& platformName, bool waylandDisplayNamed);

// Whether this process's windows go through Xwayland.
bool runsOnXwayland();

} // namespace kestrava::app
