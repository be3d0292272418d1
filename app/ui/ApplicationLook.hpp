#pragma once

#include <QApplication>

namespace kestrava::app::ui {

// What every window of the application shares: its name "Kestrava" wherever a window has no title of its
// own, its icon, and the room inside its buttons. Interface thread, once the application object exists.
void applyApplicationLook(QApplication& application);

} // namespace kestrava::app::ui
