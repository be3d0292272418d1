#pragma once

#include "app/tray/PanelAnchor.hpp"
#include "app/tray/PanelScreen.hpp"

#include <QList>
#include <QMargins>
#include <QRect>
#include <QSize>

namespace kestrava::app {

// Where the frame of the tray's panel goes, the panel being `size` inside a frame of `frame`, for `anchor`
// on `screens` (not empty), in Qt's coordinates. The panel goes on the screen that holds the anchor, else
// the nearest, and wholly inside the area that screen leaves to windows, keeping to its top left where it
// is larger. Its edge lies against the anchor's side of that area; where no strip is reserved there and the
// anchor lies on the tray, clear of a bar twice as deep as the anchor's middle (a tray's icon sits
// mid-bar), unless such a bar would take more than an eighth of the screen or the anchor is a point on the
// screen's outermost row. Along that side it starts at
// the anchor, or ends with it where it would run off the area. The same anchor keeps that edge where it is
// as the panel grows.
QRect panelPlacement(const PanelAnchor& anchor, QSize size, const QMargins& frame,
                     const QList<PanelScreen>& screens);

} // namespace kestrava::app
