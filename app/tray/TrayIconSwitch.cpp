#include "app/tray/TrayIconSwitch.hpp"

#include "app/tray/ItemRegistration.hpp"
#include "app/tray/QtTrayIconKind.hpp"
#include "app/tray/StatusNotifierItem.hpp"
#include "app/tray/XEmbedTrayWatch.hpp"

#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <utility>

namespace kestrava::app {

QString TrayIconSwitch::qtXDisplay() {
    return QGuiApplication::platformName() == QLatin1String("xcb") ? qEnvironmentVariable("DISPLAY")
                                                                   : QString();
}

TrayIconSwitch::TrayIconSwitch(QMenu& commands, QDBusConnection bus, Scheduler& scheduler,
                               const QString& xDisplay, QObject* parent)
    : QObject(parent), commands_(commands), xembedTray_(std::make_unique<XEmbedTrayWatch>(xDisplay)) {
    if (!xDisplay.isEmpty()) {
        keepQtTrayIconXEmbed();
    }
    if (bus.isConnected()) {
        item_ = std::make_unique<StatusNotifierItem>(commands, bus);
        connect(item_.get(), &StatusNotifierItem::activated, this, &TrayIconSwitch::itemActivated);
        registration_ = std::make_unique<ItemRegistration>(bus, item_->service(), scheduler);
        connect(registration_.get(), &ItemRegistration::changed, this, &TrayIconSwitch::choose);
    }
    connect(xembedTray_.get(), &XEmbedTrayWatch::changed, this, &TrayIconSwitch::choose);
    // Once the owner has given the picture: Qt's icon shows none without one.
    QMetaObject::invokeMethod(this, &TrayIconSwitch::choose, Qt::QueuedConnection);
}

TrayIconSwitch::~TrayIconSwitch() = default;

void TrayIconSwitch::setIcon(const QIcon& icon) {
    icon_ = icon;
    if (item_) {
        item_->setIcon(icon);
    }
    if (qtIcon_) {
        qtIcon_->setIcon(icon);
    }
}

void TrayIconSwitch::setToolTip(const QString& text) {
    toolTip_ = text;
    if (item_) {
        item_->setToolTip(text);
    }
    if (qtIcon_) {
        qtIcon_->setToolTip(text);
    }
}

QRect TrayIconSwitch::qtIconGeometry() const {
    return shown_ == TrayIcon::qtIcon ? qtIcon_->geometry() : QRect();
}

void TrayIconSwitch::onceSettled(std::function<void()> then) {
    if (settled_) {
        then();
    } else {
        whenSettled_.push_back(std::move(then));
    }
}

void TrayIconSwitch::choose() {
    const bool watcher = registration_ && registration_->watcherPresent();
    const HostPresence host = watcher ? registration_->host() : HostPresence::absent;
    const ItemStanding standing = watcher ? registration_->standing() : ItemStanding::pending;
    const TrayIcon chosen = chooseTrayIcon({watcher, host, standing, xembedTray_->present()});
    if (chosen == TrayIcon::undecided) {
        return;
    }
    if (chosen == TrayIcon::qtIcon && !qtIcon_) {
        makeQtIcon();
    }
    if (qtIcon_) {
        qtIcon_->setVisible(chosen == TrayIcon::qtIcon);
    }
    shown_ = chosen;
    settled_ = chosen != TrayIcon::ownItem || standing != ItemStanding::pending;
    if (settled_) {
        for (const auto& then : std::exchange(whenSettled_, {})) {
            then();
        }
    }
}

void TrayIconSwitch::makeQtIcon() {
    qtIcon_ = new QSystemTrayIcon(icon_, this);
    qtIcon_->setToolTip(toolTip_);
    qtIcon_->setContextMenu(&commands_);
    connect(qtIcon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) {
            emit qtIconClicked();
        }
    });
}

} // namespace kestrava::app
