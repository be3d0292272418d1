#pragma once

#include "app/tray/PanelScreen.hpp"

#include <QList>
#include <QPoint>
#include <optional>

namespace kestrava::app {

// Where the user clicked the application's item, in Qt's coordinates, from the point its host reported and
// where the pointer was as the report came, where that is known. Hosts report the click in the screen's own
// pixels, in their own logical pixels (a GTK tray at its own 2×), the icon's edge, or their panel's origin;
// on X11 the pointer is on the icon just clicked. So a reading of the host's point near the pointer is the
// click; where none is and the pointer lies where a tray can be (a strip a panel reserves, or a screen's
// edge), the pointer is; elsewhere (an activation from the keyboard) the host's point in the screen's own
// pixels is. `screens` is not empty.
QPoint hostClickPoint(QPoint reported, std::optional<QPoint> pointer, const QList<PanelScreen>& screens);

// Where the pointer is, where the application can know it: on X11, and not under Xwayland, where it is where
// an X window last saw it.
std::optional<QPoint> knownPointer();

// Where the user clicked the item that its host reports at `reported`, as things are now.
QPoint hostClickNow(QPoint reported);

} // namespace kestrava::app
