#pragma once

#include "app/tray/DBusMenuExporter.hpp"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>

class QMenu;

namespace kestrava::app {

class StatusNotifierItemAdaptor;

// The application's icon in a panel that shows status notifier items (the protocol's watcher on the
// session bus, with a host that draws the items): served by the application itself, so that a click
// reaches it with the place the panel gives. Its menu goes on the bus beside it. It registers with the
// watcher, and again whenever a watcher comes back (a panel restarts). Interface thread.
class StatusNotifierItem final : public QObject {
    Q_OBJECT

public:
    // The name a panel's watcher takes on the bus.
    static QString watcherService();
    // Whether a watcher is on `bus` to register an item with.
    static bool watcherPresent(const QDBusConnection& bus);

    StatusNotifierItem(QMenu& menu, QDBusConnection bus);
    ~StatusNotifierItem() override;

    // The picture at the sides panels ask for; hosts hear of each change.
    void setIcon(const QIcon& icon);
    void setToolTip(const QString& title);

    // The watcher has told that a host shows the registered item.
    bool shownByHost() const noexcept { return shownByHost_; }

signals:
    // The host's primary or secondary click, at the place on the screen it gives.
    void activated(QPoint at);
    // The watcher answered, after a registration or a host's coming or going, whether a host shows the
    // item; false too when the watcher went away.
    void hostAnswered(bool shown);

private slots:
    void registerWithWatcher();
    void askWhetherShown();

private:
    friend class StatusNotifierItemAdaptor;

    void answered(bool shown);

    QDBusConnection bus_;
    QMenu& commands_;
    const QString service_;
    DBusMenuExporter menu_;
    QDBusServiceWatcher watcher_;
    StatusNotifierItemAdaptor* adaptor_;
    // The icon at each side the bus carries, as 32-bit ARGB.
    QList<QImage> images_;
    QString toolTip_;
    bool shownByHost_ = false;
};

} // namespace kestrava::app
