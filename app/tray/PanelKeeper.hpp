#pragma once

#include "app/tray/PanelAnchor.hpp"

class QWidget;

namespace kestrava::app {

// Places the tray's panel, a top-level widget not shown yet, at the anchor for `request` on the screens as
// they are now, and keeps it there while it is open: placed again from the same anchor whenever its size
// changes (an alert appears, a text wraps), and when the window manager has put its frame around it, which
// it tells only once the window is shown. Without a screen it leaves the place to the window manager.
void keepPanelPlaced(QWidget& panel, const PanelRequest& request);

} // namespace kestrava::app
