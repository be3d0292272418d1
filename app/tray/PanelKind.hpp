#pragma once

#include <QString>

namespace kestrava::app {

// What kind of window the tray's panel is on this desktop.
enum class PanelKind {
    popup,                    // hangs from the tray's icon and closes on a click elsewhere
    activatedWindow,          // hangs from the tray's icon as a window the window manager gives the keys to,
                              // and closes when the user turns to another, as the popup would
    windowClosingOnFocusLoss, // an ordinary window that closes when the user turns to another, as the popup
                              // would
    window,                   // an ordinary window that stays until closed: without a tray it is all there is
};

// From the name of Qt's platform, whether its X display is Xwayland, and whether a tray shows the
// application's icon. A native Wayland client cannot place a window, and there a popup without a parent
// may not show at all. Under Xwayland a popup gets no keys unless another X window has them.
PanelKind panelKind(const QString& platformName, bool xwayland, bool trayAvailable);

} // namespace kestrava::app
