#pragma once

#include "app/async/Scheduler.hpp"
#include "app/tray/TrayIconChoice.hpp"

#include <QDBusConnection>
#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QSystemTrayIcon;

namespace kestrava::app {

class ItemRegistration;
class StatusNotifierItem;
class XEmbedTrayWatch;

// The application's one icon, of the kind the tray that is there now takes: our own status notifier item
// where a panel's host draws it, else Qt's icon in an XEmbed tray, else none; it follows the watcher, its
// hosts and the XEmbed tray as they come and go. Both icons carry the same picture, tooltip and menu.
// Interface thread.
class TrayIconSwitch final : public QObject {
    Q_OBJECT

public:
    // The X display whose XEmbed tray Qt's icon docks in: Qt's own where it shows its windows on X.
    static QString qtXDisplay();

    // Our item on `bus`; Qt's icon in the XEmbed tray of `xDisplay` (none for an empty name).
    TrayIconSwitch(QMenu& commands, QDBusConnection bus, Scheduler& scheduler, const QString& xDisplay,
                   QObject* parent = nullptr);
    ~TrayIconSwitch() override;

    void setIcon(const QIcon& icon);
    void setToolTip(const QString& text);

    // What shows now: our item, Qt's icon or none (also while undecided at first).
    TrayIcon shown() const noexcept { return shown_; }
    // Where Qt's icon is on the screen; invalid when it does not show.
    QRect qtIconGeometry() const;
    // Runs `then` once the choice is made, and the item, where it is chosen, is listed or refused: now,
    // when it is already.
    void onceSettled(std::function<void()> then);

signals:
    // A host's click on our item, at the place on the screen it gives.
    void itemActivated(QPoint at);
    // A primary click on Qt's icon.
    void qtIconClicked();

private:
    void choose();
    // Made the first time it shows.
    void makeQtIcon();

    QMenu& commands_;
    std::unique_ptr<StatusNotifierItem> item_;
    std::unique_ptr<ItemRegistration> registration_;
    std::unique_ptr<XEmbedTrayWatch> xembedTray_;
    QSystemTrayIcon* qtIcon_ = nullptr;
    TrayIcon shown_ = TrayIcon::none;
    bool settled_ = false;
    std::vector<std::function<void()>> whenSettled_;
    QIcon icon_;
    QString toolTip_;
};

} // namespace kestrava::app
