#pragma once

#include "app/async/Scheduler.hpp"
#include "app/menu/OnboardingAutoOpener.hpp"
#include "app/menu/WindowManager.hpp"
#include "app/state/AppState.hpp"
#include "app/system/Updater.hpp"
#include "app/tray/GnomeOverview.hpp"
#include "app/tray/PanelKind.hpp"
#include "app/tray/TrayIconSwitch.hpp"

#include <QDBusConnection>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <memory>
#include <optional>

namespace kestrava::app {

class MenuView;

// What the user sees of the application: the shield in the tray, the menu panel it opens, the context
// menu of the same commands for trays that send no click, and the four windows by name. Without a tray
// the panel is an ordinary window; on native Wayland, one that closes when the user turns from it; under
// Xwayland, one placed at the icon that takes the keys. GNOME's overview is left before the panel opens.
// The shield is our own item where a panel's host on `bus` draws it, else Qt's icon in the XEmbed tray of
// `xDisplay`.
class TrayApp final : public QObject {
    Q_OBJECT

public:
    TrayApp(std::shared_ptr<AppState> state, Updater& updater, Scheduler& scheduler,
            QDBusConnection bus = QDBusConnection::sessionBus(),
            const QString& xDisplay = TrayIconSwitch::qtXDisplay());
    ~TrayApp() override;

    // Puts the shield in the tray (or opens the panel) and considers opening the first-run guide.
    void show();
    // Another start of the application asked for this one, with the activation token its launcher gave it
    // (or none).
    void bringForward(const QString& activationToken = {});
    // Opens the panel where a host reported a click on the item, in the screen's own pixels; closes it
    // when it is open.
    void togglePanelAt(QPoint hostPoint);

private:
    // The shield, and the context menu's "Thêm iPhone…" enabled when the panel's row is.
    void render();
    void togglePanel();
    // Opens the panel unless it is open.
    void openPanel();
    void openWindow(const QString& id);
    QWidget* makePanel();
    bool trayAvailable() const;

    const std::shared_ptr<AppState> state_;
    Updater& updater_;
    Scheduler& scheduler_;
    WindowManager windows_;
    OnboardingAutoOpener autoOpener_;
    QMenu commands_;
    QAction* addPhone_;
    TrayIconSwitch icon_;
    GnomeOverview overview_;
    // Where the host's last click on our item was, none before: a panel opened otherwise (the menu, another
    // start) hangs there too.
    std::optional<QPoint> hostClick_;
    QPointer<QWidget> panel_;
    PanelKind panelKind_ = PanelKind::window;
};

} // namespace kestrava::app
