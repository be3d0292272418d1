#include "app/tray/Xwayland.hpp"

#include <QGuiApplication>

namespace kestrava::app {

bool isXwayland(const QString& platformName, bool waylandDisplayNamed) {
    return platformName == QLatin1String("xcb") && waylandDisplayNamed;
}

bool runsOnXwayland() {
    return isXwayland(QGuiApplication::platformName(), !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
}

} // namespace kestrava::app
