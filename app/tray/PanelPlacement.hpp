#pragma once

#include <QList>
#include <QRect>
#include <QSize>

namespace kestrava::app {

// A screen as the panel sees it: all of it, where the tray's icon may be, and the area it leaves to windows.
struct PanelScreen {
    QRect whole;
    QRect free;
};

// Where the tray's panel of `size` opens for `anchor`: the tray icon's rectangle, or a 1×1 one at the point
// a click was reported at. The panel goes on the screen that holds the anchor, else the nearest, the first
// of `screens` (the primary) when two are as near. It hangs below the anchor, or above it
// where there is no room below (a panel at the screen's bottom); it starts at the anchor's left edge, or
// ends at its right edge where it would run off the screen; and it stays wholly inside that screen's free
// area, keeping to its top left corner where it is larger than the area.
QRect panelPlacement(const QRect& anchor, QSize size, const QList<PanelScreen>& screens);

} // namespace kestrava::app
