#include "app/tray/PanelPlacement.hpp"

#include <algorithm>
#include <limits>

namespace kestrava::app {
namespace {

// How far `point` lies from `area`, squared: 0 inside it.
qint64 distanceSquared(QPoint point, const QRect& area) {
    const qint64 dx = std::max({area.left() - point.x(), 0, point.x() - area.right()});
    const qint64 dy = std::max({area.top() - point.y(), 0, point.y() - area.bottom()});
    return dx * dx + dy * dy;
}

// The free area of the screen that holds the anchor, or of the nearest.
QRect areaFor(const QRect& anchor, const QList<PanelScreen>& screens) {
    const QPoint centre = anchor.center();
    QRect nearest = screens.front().free;
    qint64 nearestDistance = std::numeric_limits<qint64>::max();
    for (const PanelScreen& screen : screens) {
        const qint64 distance = distanceSquared(centre, screen.whole);
        if (distance < nearestDistance) {
            nearest = screen.free;
            nearestDistance = distance;
        }
    }
    return nearest;
}

// `start` moved as little as needed for `length` from it to fit in the `extent` from `low`; `low` where it
// cannot fit. The end is `low + extent`: QRect's right() and bottom() are one pixel short of it.
int keptWithin(int start, int length, int low, int extent) {
    return std::max(low, std::min(start, low + extent - length));
}

} // namespace

QRect panelPlacement(const QRect& anchor, QSize size, const QList<PanelScreen>& screens) {
    const QRect below(QPoint(anchor.x(), anchor.y() + anchor.height()), size);
    if (screens.isEmpty()) {
        return below;
    }
    const QRect area = areaFor(anchor, screens);
    const int areaEnd = area.x() + area.width();
    const int areaFoot = area.y() + area.height();

    const int x =
        below.x() + size.width() <= areaEnd ? below.x() : anchor.x() + anchor.width() - size.width();
    const int roomBelow = areaFoot - below.y();
    const int roomAbove = anchor.y() - area.y();
    const bool hangsBelow =
        size.height() <= roomBelow || (size.height() > roomAbove && roomBelow >= roomAbove);
    const int y = hangsBelow ? below.y() : anchor.y() - size.height();
    return {QPoint(keptWithin(x, size.width(), area.x(), area.width()),
                   keptWithin(y, size.height(), area.y(), area.height())),
            size};
}

} // namespace kestrava::app
