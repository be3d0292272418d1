#pragma once

#include "app/tray/PanelScreen.hpp"

#include <QList>
#include <QPoint>
#include <QRect>
#include <optional>

namespace kestrava::app {

// The side of its screen the tray's panel hangs from, as a menu hangs from its bar.
enum class PanelSide { top, bottom, left, right };

// What the tray's panel hangs from, in Qt's coordinates.
struct PanelAnchor {
    // The tray's icon, a point on it (1×1), or the point the panel was asked from elsewhere.
    QRect at;
    PanelSide side = PanelSide::top;
    // `at` lies on the tray itself: where no area is reserved for the bar around it, the panel keeps clear
    // of the bar.
    bool onTray = false;
};

// What the application knows, as the panel is asked for, of where the user's tray is.
struct PanelRequest {
    // Qt's own tray icon, where it shows and tells its place.
    std::optional<QRect> trayIcon;
    // Where the host's last click on the application's item was (see `hostClickPoint`).
    std::optional<QPoint> hostClick;
    // Where the pointer is, where the application can know it: in the tray's menu when the menu was opened
    // with the mouse.
    std::optional<QPoint> pointer;
};

// The anchor for `request` on `screens` (not empty, in Qt's order: the primary first): Qt's icon; else the
// host's click; else the pointer, against the nearest side that a panel reserves (the tray's bar), any side
// where none is; else the far end of the primary screen's reserved side (top, bottom, right, left, the first
// there is); else its top right, where GNOME's tray is. An icon or a host's click hangs the panel from the
// side nearest to it, the side it lies beyond in a reserved strip first.
PanelAnchor panelAnchor(const PanelRequest& request, const QList<PanelScreen>& screens);

} // namespace kestrava::app
