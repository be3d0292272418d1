#include "app/tray/PanelKind.hpp"

namespace kestrava::app {

PanelKind panelKind(const QString& platformName, bool trayAvailable) {
    if (!trayAvailable) {
        return PanelKind::window;
    }
    return platformName.startsWith(QLatin1String("wayland")) ? PanelKind::windowClosingOnFocusLoss
                                                             : PanelKind::popup;
}

} // namespace kestrava::app
