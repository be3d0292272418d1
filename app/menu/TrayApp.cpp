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
#include "app/tray/ActivatedFromTheTray.hpp"
#include "app/tray/CloseOnActiveWindowChange.hpp"
#include "app/tray/CloseOnFocusLoss.hpp"
#include "app/tray/HostClick.hpp"
#include "app/tray/PanelKeeper.hpp"
#include "app/tray/SingleInstance.hpp"
#include "app/tray/Xwayland.hpp"

#include <QApplication>
#include <QShortcut>
#include <QVBoxLayout>

namespace kestrava::app {
namespace {

Qt::WindowFlags windowFlagsOf(PanelKind kind) {
    switch (kind) {
    case PanelKind::popup:
        return Qt::Popup;
    case PanelKind::activatedWindow:
        // Placed by the application, above the others, and out of the task bar and the window switcher.
        return Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    case PanelKind::windowClosingOnFocusLoss:
    case PanelKind::window:
        break;
    }
    return Qt::Window;
}

} // namespace

TrayApp::TrayApp(std::shared_ptr<AppState> state, Updater& updater, Scheduler& scheduler, QDBusConnection bus,
                 const QString& xDisplay)
    : state_(std::move(state)), updater_(updater), scheduler_(scheduler), autoOpener_(scheduler),
      icon_(commands_, bus, scheduler, xDisplay, this), overview_(bus, scheduler, this) {
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

    connect(&icon_, &TrayIconSwitch::qtIconClicked, this, &TrayApp::togglePanel);
    connect(&icon_, &TrayIconSwitch::itemActivated, this, [this](QPoint at) { togglePanelAt(at); });
    connect(state_.get(), &AppState::changed, this, &TrayApp::render);
    render();
}

TrayApp::~TrayApp() {
    delete panel_;
}

void TrayApp::show() {
    // The shield shows by itself where a tray is; the watcher may take a moment to tell.
    icon_.onceSettled([this] {
        if (icon_.shown() == TrayIcon::none) {
            togglePanel();
        }
    });
    autoOpener_.consider(*state_, [this] { openWindow(QStringLiteral("onboarding")); });
}

void TrayApp::bringForward(const QString& activationToken) {
    offerActivationToken(activationToken.toUtf8());
    overview_.leaveThen([this] {
        openPanel();
        panel_->raise();
        panel_->activateWindow();
    });
}

void TrayApp::render() {
    const StatusIconState icon = state_->statusIcon();
    icon_.setIcon(statusImage(icon));
    icon_.setToolTip(spokenText(icon));
    addPhone_->setEnabled(
        MenuViewModel::make(state_->status(), state_->phones(), state_->lastError(), state_->serviceStatus())
            .canAddPhone);
}

void TrayApp::togglePanel() {
    if (panel_ && panel_->isVisible()) {
        panel_->close();
        return;
    }
    overview_.leaveThen([this] { openPanel(); });
}

void TrayApp::openPanel() {
    // A closed panel may not be deleted yet.
    if (panel_ && panel_->isVisible()) {
        return;
    }
    const QRect icon = icon_.qtIconGeometry();
    const PanelRequest request{.trayIcon = icon.isValid() ? std::optional(icon) : std::nullopt,
                               .hostClick = hostClick_,
                               .pointer = knownPointer()};
    panel_ = makePanel();
    keepPanelPlaced(*panel_, request);
    panel_->show();
    if (panelKind_ == PanelKind::activatedWindow) {
        activateFromTheTray(*panel_);
    } else {
        panel_->activateWindow();
    }
}

void TrayApp::openWindow(const QString& id) {
    if (panel_ && panelKind_ != PanelKind::window) {
        panel_->close();
    }
    windows_.open(id);
}

void TrayApp::togglePanelAt(QPoint hostPoint) {
    hostClick_ = hostClickNow(hostPoint);
    togglePanel();
}

QWidget* TrayApp::makePanel() {
    panelKind_ = panelKind(QGuiApplication::platformName(), runsOnXwayland(), trayAvailable());
    auto* panel = new QWidget(nullptr, windowFlagsOf(panelKind_));
    if (panelKind_ == PanelKind::activatedWindow || panelKind_ == PanelKind::windowClosingOnFocusLoss) {
        closeOnFocusLoss(*panel);
        connect(new QShortcut(QKeySequence::Cancel, panel), &QShortcut::activated, panel, &QWidget::close);
    }
    if (panelKind_ == PanelKind::activatedWindow) {
        closeOnActiveWindowChange(*panel);
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
    return icon_.shown() == TrayIcon::ownItem || icon_.shown() == TrayIcon::qtIcon;
}

} // namespace kestrava::app
