#include "app/tray/PanelKind.hpp"

namespace kestrava::app {

PanelKind panelKind(const QString& platformName, bool xwayland, bool trayAvailable) {
    if (!trayAvailable) {
        return PanelKind::window;
    }
    if (platformName.startsWith(QLatin1String("wayland"))) {
        return PanelKind::windowClosingOnFocusLoss;
    }
    return xwayland ? PanelKind::activatedWindow : PanelKind::popup;
}

} // namespace kestrava::app
