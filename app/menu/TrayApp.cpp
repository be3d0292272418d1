#include "app/menu/TrayApp.hpp"

#include "app/menu/AboutView.hpp"
#include "app/menu/MenuView.hpp"
#include "app/menu/MenuViewModel.hpp"
#include "app/menu/PhonesListView.hpp"
#include "app/menu/SettingsView.hpp"
#include "app/menu/StatusImage.hpp"
#include "app/onboarding/OnboardingWindow.hpp"
#include "app/pairing/PairingWindow.hpp"
#include "app/runtime/UiText.hpp"
#include "app/system/PkexecAdminRunner.hpp"
#include "app/tray/CloseOnFocusLoss.hpp"
#include "app/tray/PanelKeeper.hpp"
#include "app/tray/SingleInstance.hpp"
#include "app/tray/Xwayland.hpp"

#include <QApplication>
#include <QCursor>
#include <QVBoxLayout>

namespace kestrava::app {

TrayApp::TrayApp(std::shared_ptr<AppState> state, Updater& updater, Scheduler& scheduler, QDBusConnection bus)
    : state_(std::move(state)), updater_(updater), scheduler_(scheduler), bus_(std::move(bus)),
      watcherArrival_(StatusNotifierItem::watcherService(), bus_, QDBusServiceWatcher::WatchForRegistration),
      autoOpener_(scheduler) {
    windows_.define(QStringLiteral("pairing"), [this] { return new PairingWindow(state_); });
    windows_.define(QStringLiteral("settings"), [this] {
        auto* window = new SettingsView(state_, std::make_shared<PkexecAdminRunner>(),
                                        [this](const QString& id) { openWindow(id); });
        window->setWindowTitle(uiText("Cài đặt Kestrava"));
        return window;
    });
    windows_.define(QStringLiteral("about"), [this] {
        auto* window = new AboutView(state_);
        window->setWindowTitle(uiText("Giới thiệu Kestrava"));
        return window;
    });
    windows_.define(QStringLiteral("onboarding"),
                    [this] { return new OnboardingWindow(state_, scheduler_); });

    // Some trays never pass a click on: the same commands, from the context menu, and the panel itself for
    // the status, the repair and the pause switch.
    connect(commands_.addAction(uiText("Mở Kestrava")), &QAction::triggered, this, [this] {
        if (!panel_ || !panel_->isVisible()) {
            togglePanel();
        }
    });
    commands_.addSeparator();
    const auto command = [this](const char* text, const char* window) {
        QAction* action = commands_.addAction(uiText(text));
        connect(action, &QAction::triggered, this,
                [this, id = QString::fromLatin1(window)] { openWindow(id); });
        return action;
    };
    addPhone_ = command("Thêm iPhone…", "pairing");
    command("Cài đặt…", "settings");
    command("Chạy lại hướng dẫn", "onboarding");
    command("Giới thiệu Kestrava", "about");
    commands_.addSeparator();
    connect(commands_.addAction(uiText("Thoát Kestrava")), &QAction::triggered, qApp, &QApplication::quit);
    tray_.setContextMenu(&commands_);

    connect(&tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) {
            togglePanel();
        }
    });
    if (StatusNotifierItem::watcherPresent(bus_)) {
        useOwnItem();
    }
    // A panel that starts after the application, as one may at login, still gets the shield.
    connect(&watcherArrival_, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        if (!item_) {
            useOwnItem();
            render();
        }
    });
    connect(state_.get(), &AppState::changed, this, &TrayApp::render);
    render();
}

void TrayApp::useOwnItem() {
    item_ = std::make_unique<StatusNotifierItem>(commands_, bus_);
    connect(item_.get(), &StatusNotifierItem::activated, this, [this](QPoint at) { togglePanelAt(at); });
    // Qt's icon in such a panel gives no place to hang the panel from. Never both: Qt's would be a second
    // item there.
    tray_.hide();
}

TrayApp::~TrayApp() {
    delete panel_;
}

void TrayApp::show() {
    if (item_) {
        // Registered already; the watcher tells later whether a panel shows it.
        connect(
            item_.get(), &StatusNotifierItem::hostAnswered, this,
            [this](bool shown) {
                if (!shown) {
                    togglePanel();
                }
            },
            Qt::SingleShotConnection);
    } else if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_.show();
    } else {
        togglePanel();
    }
    autoOpener_.consider(*state_, [this] { openWindow(QStringLiteral("onboarding")); });
}

void TrayApp::bringForward(const QString& activationToken) {
    offerActivationToken(activationToken.toUtf8());
    // A closed panel may not be deleted yet.
    if (!panel_ || !panel_->isVisible()) {
        togglePanel();
    }
    panel_->raise();
    panel_->activateWindow();
}

void TrayApp::render() {
    const StatusIconState icon = state_->statusIcon();
    tray_.setIcon(statusImage(icon));
    tray_.setToolTip(spokenText(icon));
    if (item_) {
        item_->setIcon(statusImage(icon));
        item_->setToolTip(spokenText(icon));
    }
    addPhone_->setEnabled(
        MenuViewModel::make(state_->status(), state_->phones(), state_->lastError(), state_->serviceStatus())
            .canAddPhone);
}

void TrayApp::togglePanel() {
    if (panel_ && panel_->isVisible()) {
        panel_->close();
        return;
    }
    const QRect icon = tray_.isVisible() ? tray_.geometry() : QRect();
    const PanelRequest request{.trayIcon = icon.isValid() ? std::optional(icon) : std::nullopt,
                               .hostPoint = hostPoint_,
                               .pointer = QCursor::pos(),
                               .xwayland = runsOnXwayland()};
    panel_ = makePanel();
    keepPanelPlaced(*panel_, request);
    panel_->show();
    panel_->activateWindow();
}

void TrayApp::openWindow(const QString& id) {
    if (panel_ && panelKind_ != PanelKind::window) {
        panel_->close();
    }
    windows_.open(id);
}

void TrayApp::togglePanelAt(QPoint hostPoint) {
    hostPoint_ = hostPoint;
    togglePanel();
}

QWidget* TrayApp::makePanel() {
    panelKind_ = panelKind(QGuiApplication::platformName(), trayAvailable());
    auto* panel = new QWidget(nullptr, panelKind_ == PanelKind::popup ? Qt::Popup : Qt::Window);
    if (panelKind_ == PanelKind::windowClosingOnFocusLoss) {
        closeOnFocusLoss(*panel);
    }
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowTitle(QStringLiteral("Kestrava"));
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(new MenuView(
        state_, updater_, [this](const QString& id) { openWindow(id); }, [panel] { panel->close(); },
        confirmRevoke, panel));
    return panel;
}

bool TrayApp::trayAvailable() const {
    return item_ ? item_->shownByHost() : QSystemTrayIcon::isSystemTrayAvailable();
}

} // namespace kestrava::app
