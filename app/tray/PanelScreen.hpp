#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

namespace kestrava::app {

// A screen as the tray's panel sees it, in Qt's coordinates: all of it, the area it leaves to windows (all
// of it but what panels reserve), and how many of the screen's own pixels make one of Qt's. Qt keeps a
// scaled screen's origin where the screen's own pixels put it and divides only its size.
struct PanelScreen {
    QRect whole;
    QRect free;
    qreal scale = 1;

    // The screen in its own pixels, as a host counts them.
    QRect inDevicePixels() const;
};

// A screen's rectangles, to find the nearest by: all of it in Qt's coordinates, and in its own pixels.
QRect wholeArea(const PanelScreen& screen);
QRect deviceArea(const PanelScreen& screen);

// The screen of `screens` (not empty) whose `rectangle` holds `point`, else the nearest; the first (the
// primary) of two as near.
const PanelScreen& nearestScreen(QPoint point, const QList<PanelScreen>& screens,
                                 QRect (*rectangle)(const PanelScreen&));

// The screens as Qt has them now, the primary first; none where all went away.
QList<PanelScreen> currentPanelScreens();

} // namespace kestrava::app
