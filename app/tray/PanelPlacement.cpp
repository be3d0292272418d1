#include "app/tray/PanelPlacement.hpp"

#include <algorithm>

namespace kestrava::app {
namespace {

// A span of one axis as its first and one-past-last pixels, so that no sum overflows.
struct Span {
    qint64 low;
    qint64 high;
};

// One axis of the placement: the free area's span, the screen's, the anchor's, and the window's length.
struct Axis {
    Span area;
    Span whole;
    Span anchor;
    qint64 length;
};

Axis axis(int areaLow, int areaLast, int wholeLow, int wholeLast, int anchorLow, int anchorLast,
          qint64 length) {
    return {{areaLow, qint64(areaLast) + 1},
            {wholeLow, qint64(wholeLast) + 1},
            {anchorLow, qint64(anchorLast) + 1},
            length};
}

// `start` moved as little as needed for the window to fit in the area; the area's low end where it cannot.
qint64 keptWithin(qint64 start, const Axis& axis) {
    return std::max(axis.area.low, std::min(start, axis.area.high - axis.length));
}

// Along the side: from the anchor's start, or ending at its end where that would run off the area.
qint64 along(const Axis& axis) {
    return keptWithin(axis.anchor.low + axis.length <= axis.area.high ? axis.anchor.low
                                                                      : axis.anchor.high - axis.length,
                      axis);
}

// Across the side: against the area's edge, or clear of an unreserved bar that the anchor on the tray lies
// in the middle of. `far`: the side is the bottom or the right, whose depths count from the screen's end.
qint64 across(const Axis& axis, bool far, bool onTray) {
    const auto depth = [&](qint64 at) { return far ? axis.whole.high - at : at - axis.whole.low; };
    const qint64 areaDepth = depth(far ? axis.area.high : axis.area.low);
    const qint64 nearDepth = depth(far ? axis.anchor.high : axis.anchor.low);
    const qint64 bar =
        std::max<qint64>(nearDepth, 0) + std::max<qint64>(depth(far ? axis.anchor.low : axis.anchor.high), 0);
    // A point on the screen's outermost row tells nothing of a bar: the pointer was pushed against the edge.
    const bool pointOnTheEdge = axis.anchor.high - axis.anchor.low == 1 && nearDepth <= 0;
    const bool inAnUnreservedBar =
        onTray && !pointOnTheEdge && areaDepth == 0 && bar * 8 <= axis.whole.high - axis.whole.low;
    const qint64 edgeDepth = inAnUnreservedBar ? bar : areaDepth;
    return keptWithin(far ? axis.whole.high - edgeDepth - axis.length : axis.whole.low + edgeDepth, axis);
}

} // namespace

QRect panelPlacement(const PanelAnchor& anchor, QSize size, const QMargins& frame,
                     const QList<PanelScreen>& screens) {
    const PanelScreen& screen = nearestScreen(anchor.at.center(), screens, wholeArea);
    const Axis x =
        axis(screen.free.left(), screen.free.right(), screen.whole.left(), screen.whole.right(),
             anchor.at.left(), anchor.at.right(), qint64(size.width()) + frame.left() + frame.right());
    const Axis y =
        axis(screen.free.top(), screen.free.bottom(), screen.whole.top(), screen.whole.bottom(),
             anchor.at.top(), anchor.at.bottom(), qint64(size.height()) + frame.top() + frame.bottom());
    const bool far = anchor.side == PanelSide::bottom || anchor.side == PanelSide::right;
    const bool horizontalSide = anchor.side == PanelSide::top || anchor.side == PanelSide::bottom;
    const qint64 left = horizontalSide ? along(x) : across(x, far, anchor.onTray);
    const qint64 top = horizontalSide ? across(y, far, anchor.onTray) : along(y);
    return {int(left), int(top), int(x.length), int(y.length)};
}

} // namespace kestrava::app
