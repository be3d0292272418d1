#include "app/tray/PanelScreen.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <limits>

namespace kestrava::app {
namespace {

// How far `point` lies from `area`, squared: 0 inside it. In floating point, since each distance may reach
// 2^32 and its square would overflow any integer.
double distanceSquared(QPoint point, const QRect& area) {
    const qint64 dx =
        std::max({qint64(area.left()) - point.x(), qint64(0), qint64(point.x()) - area.right()});
    const qint64 dy =
        std::max({qint64(area.top()) - point.y(), qint64(0), qint64(point.y()) - area.bottom()});
    return double(dx) * double(dx) + double(dy) * double(dy);
}

} // namespace

QRect PanelScreen::inDevicePixels() const {
    return {whole.topLeft(),
            QSize(int(qRound64(whole.width() * scale)), int(qRound64(whole.height() * scale)))};
}

QRect wholeArea(const PanelScreen& screen) {
    return screen.whole;
}

QRect deviceArea(const PanelScreen& screen) {
    return screen.inDevicePixels();
}

const PanelScreen& nearestScreen(QPoint point, const QList<PanelScreen>& screens,
                                 QRect (*rectangle)(const PanelScreen&)) {
    const PanelScreen* nearest = &screens.front();
    double nearestDistance = std::numeric_limits<double>::infinity();
    for (const PanelScreen& screen : screens) {
        const double distance = distanceSquared(point, rectangle(screen));
        if (distance < nearestDistance) {
            nearest = &screen;
            nearestDistance = distance;
        }
    }
    return *nearest;
}

QList<PanelScreen> currentPanelScreens() {
    QList<PanelScreen> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens.append({screen->geometry(), screen->availableGeometry(), screen->devicePixelRatio()});
    }
    return screens;
}

} // namespace kestrava::app
