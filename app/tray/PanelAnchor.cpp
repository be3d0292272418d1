#include "app/tray/PanelAnchor.hpp"

#include <algorithm>
#include <array>
#include <limits>

namespace kestrava::app {
namespace {

// The order in which sides are taken where two would do: trays are mostly in a bar at the top or bottom.
constexpr std::array<PanelSide, 4> sides{PanelSide::top, PanelSide::bottom, PanelSide::right,
                                         PanelSide::left};

// How far `point` lies inside `area` from its `side`: negative beyond it.
qint64 depthFrom(PanelSide side, QPoint point, const QRect& area) {
    switch (side) {
    case PanelSide::top:
        return qint64(point.y()) - area.top();
    case PanelSide::bottom:
        return qint64(area.bottom()) - point.y();
    case PanelSide::left:
        return qint64(point.x()) - area.left();
    case PanelSide::right:
        return qint64(area.right()) - point.x();
    }
    return 0;
}

// Whether a panel reserves a strip of `screen` at its `side`: the free area stops short of the edge there.
bool reserved(const PanelScreen& screen, PanelSide side) {
    switch (side) {
    case PanelSide::top:
        return screen.free.top() > screen.whole.top();
    case PanelSide::bottom:
        return screen.free.bottom() < screen.whole.bottom();
    case PanelSide::left:
        return screen.free.left() > screen.whole.left();
    case PanelSide::right:
        return screen.free.right() < screen.whole.right();
    }
    return false;
}

// The side of `screen`'s free area nearest to `point`, the one it lies beyond first; among the reserved
// sides only where `reservedFirst` and the screen has any.
PanelSide nearestSide(QPoint point, const PanelScreen& screen, bool reservedFirst) {
    const bool anyReserved =
        std::any_of(sides.begin(), sides.end(), [&](PanelSide side) { return reserved(screen, side); });
    PanelSide nearest = PanelSide::top;
    qint64 nearestDepth = std::numeric_limits<qint64>::max();
    for (const PanelSide side : sides) {
        if (reservedFirst && anyReserved && !reserved(screen, side)) {
            continue;
        }
        const qint64 depth = depthFrom(side, point, screen.free);
        if (depth < nearestDepth) {
            nearest = side;
            nearestDepth = depth;
        }
    }
    return nearest;
}

// The tray's own place hangs the panel from the side nearest to it.
PanelAnchor onTheTray(const QRect& at, const QList<PanelScreen>& screens) {
    return {at, nearestSide(at.center(), nearestScreen(at.center(), screens, wholeArea), false), true};
}

// Where a tray ends in a bar that reserves `side` of `screen`: its right, or the bottom of a bar at the side.
QPoint farEnd(const PanelScreen& screen, PanelSide side) {
    switch (side) {
    case PanelSide::top:
        return {screen.free.right(), screen.whole.top()};
    case PanelSide::bottom:
        return {screen.free.right(), screen.whole.bottom()};
    case PanelSide::left:
        return {screen.whole.left(), screen.free.bottom()};
    case PanelSide::right:
        return {screen.whole.right(), screen.free.bottom()};
    }
    return {};
}

} // namespace

PanelAnchor panelAnchor(const PanelRequest& request, const QList<PanelScreen>& screens) {
    // One pixel, given by its corners: a size added to a point at the int limits would overflow.
    const auto point = [](QPoint at) { return QRect(at, at); };
    if (request.trayIcon) {
        return onTheTray(*request.trayIcon, screens);
    }
    if (request.hostClick) {
        return onTheTray(point(*request.hostClick), screens);
    }
    if (request.pointer) {
        const PanelScreen& screen = nearestScreen(*request.pointer, screens, wholeArea);
        return {point(*request.pointer), nearestSide(*request.pointer, screen, true), false};
    }
    const PanelScreen& primary = screens.front();
    for (const PanelSide side : sides) {
        if (reserved(primary, side)) {
            return {point(farEnd(primary, side)), side, false};
        }
    }
    return {point(QPoint(primary.free.right(), primary.free.top())), PanelSide::top, false};
}

} // namespace kestrava::app
