#pragma once

#include "app/tray/DBusMenuExporter.hpp"

#include <QDBusConnection>
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
// reaches it with the place the panel gives. Its menu goes on the bus beside it. Interface thread.
class StatusNotifierItem final : public QObject {
    Q_OBJECT

public:
    StatusNotifierItem(QMenu& menu, QDBusConnection bus);
    ~StatusNotifierItem() override;

    // The name the item has on the bus, which a watcher is given.
    const QString& service() const noexcept { return service_; }

    // The picture at the sides panels ask for; hosts hear of each change.
    void setIcon(const QIcon& icon);
    void setToolTip(const QString& title);

signals:
    // The host's primary or secondary click, at the place on the screen it gives.
    void activated(QPoint at);

private:
    friend class StatusNotifierItemAdaptor;

    QDBusConnection bus_;
    QMenu& commands_;
    const QString service_;
    DBusMenuExporter menu_;
    StatusNotifierItemAdaptor* adaptor_;
    // The icon at each side the bus carries, as 32-bit ARGB.
    QList<QImage> images_;
    QString toolTip_;
};

} // namespace kestrava::app
