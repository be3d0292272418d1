#include "app/tray/HostClick.hpp"

#include "app/tray/Xwayland.hpp"

#include <QCursor>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace kestrava::app {
namespace {

// A reading of the host's point this near the pointer is the click: the icon's middle or edge.
constexpr qint64 nearThePointer = 48;
// How far from a screen's edge a bar that reserves nothing can hold a tray.
constexpr qint64 barDepth = 64;

// `point` in a screen's own pixels, in Qt's coordinates: through the screen that holds it, or the nearest,
// and kept on that screen.
QPoint fromDevicePixels(QPoint point, const QList<PanelScreen>& screens) {
    const PanelScreen& screen = nearestScreen(point, screens, deviceArea);
    const auto mapped = [&](int value, int origin, int low, int high) {
        const auto logical = origin + qint64(std::floor(double(qint64(value) - origin) / screen.scale));
        return int(std::clamp<qint64>(logical, low, high));
    };
    return {mapped(point.x(), screen.whole.x(), screen.whole.left(), screen.whole.right()),
            mapped(point.y(), screen.whole.y(), screen.whole.top(), screen.whole.bottom())};
}

// `point` multiplied by `factor`, kept within the int range.
QPoint scaled(QPoint point, qreal factor) {
    const auto times = [&](int value) {
        return int(std::clamp<double>(std::round(value * factor), std::numeric_limits<int>::min(),
                                      std::numeric_limits<int>::max()));
    };
    return {times(point.x()), times(point.y())};
}

qint64 distance(QPoint from, QPoint to) {
    return std::max(std::abs(qint64(from.x()) - to.x()), std::abs(qint64(from.y()) - to.y()));
}

// Whether a tray can be at `point`: in a strip a panel reserves, or near the edge of its screen.
bool whereATrayCanBe(QPoint point, const QList<PanelScreen>& screens) {
    const PanelScreen& screen = nearestScreen(point, screens, wholeArea);
    if (!screen.whole.contains(point)) {
        return false;
    }
    const QRect& whole = screen.whole;
    const qint64 fromAnEdge = std::min({qint64(point.x()) - whole.left(), qint64(whole.right()) - point.x(),
                                        qint64(point.y()) - whole.top(), qint64(whole.bottom()) - point.y()});
    return !screen.free.contains(point) || fromAnEdge < barDepth;
}

} // namespace

QPoint hostClickPoint(QPoint reported, std::optional<QPoint> pointer, const QList<PanelScreen>& screens) {
    const QPoint inScreenPixels = fromDevicePixels(reported, screens);
    if (!pointer) {
        return inScreenPixels;
    }
    // The host's point in the screen's pixels, then in logical pixels at each screen's scale and at 2×.
    std::vector<QPoint> readings{inScreenPixels};
    for (const PanelScreen& screen : screens) {
        readings.push_back(fromDevicePixels(scaled(reported, screen.scale), screens));
    }
    readings.push_back(fromDevicePixels(scaled(reported, 2), screens));
    const auto nearest = std::min_element(readings.begin(), readings.end(), [&](QPoint one, QPoint other) {
        return distance(one, *pointer) < distance(other, *pointer);
    });
    if (distance(*nearest, *pointer) <= nearThePointer) {
        return *nearest;
    }
    return whereATrayCanBe(*pointer, screens) ? *pointer : inScreenPixels;
}

std::optional<QPoint> knownPointer() {
    if (QGuiApplication::platformName() != QLatin1String("xcb") || runsOnXwayland()) {
        return std::nullopt;
    }
    return QCursor::pos();
}

QPoint hostClickNow(QPoint reported) {
    const QList<PanelScreen> screens = currentPanelScreens();
    return screens.isEmpty() ? reported : hostClickPoint(reported, knownPointer(), screens);
}

} // namespace kestrava::app
