#include "app/tray/QtTrayIconKind.hpp"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusVirtualObject>

namespace kestrava::app {
namespace {

// The watcher's interface without its members, on the application's own connection: Qt reads it there
// without the bus.
class MemberlessWatcherInterface final : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override {
        return QStringLiteral(R"(<interface name="org.kde.StatusNotifierWatcher"/>)");
    }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override { return false; }
};

} // namespace

void keepQtTrayIconXEmbed() {
    // The connection Qt asks through; where it has none, Qt's icon is the XEmbed one anyway.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    const QString path = QStringLiteral("/org/kestrava/MemberlessWatcherInterface");
    MemberlessWatcherInterface memberless;
    if (bus.registerVirtualObject(path, &memberless)) {
        // Read once, the interface stays known to the connection by its name alone.
        QDBusInterface(bus.baseService(), path, QStringLiteral("org.kde.StatusNotifierWatcher"), bus);
        bus.unregisterObject(path);
    }
}

} // namespace kestrava::app
