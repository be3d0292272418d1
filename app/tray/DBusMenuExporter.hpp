#pragma once

#include <QDBusConnection>
#include <QString>
#include <memory>

class QMenu;
class QObject;

namespace kestrava::app {

// A QMenu on a bus as com.canonical.dbusmenu, for panels that draw an item's menu themselves: each action
// an entry (a submenu's actions under it), kept up to date as the actions change, and a click on an entry
// triggers its action. Lives as long as the menu does or shorter. Interface thread.
class DBusMenuExporter {
public:
    DBusMenuExporter(QMenu& menu, QDBusConnection bus, QString path);
    ~DBusMenuExporter();
    DBusMenuExporter(const DBusMenuExporter&) = delete;
    DBusMenuExporter& operator=(const DBusMenuExporter&) = delete;

    const QString& path() const noexcept { return path_; }

private:
    QDBusConnection bus_;
    const QString path_;
    // What the bus calls: the menu's adaptor hangs from it.
    std::unique_ptr<QObject> exported_;
};

} // namespace kestrava::app
