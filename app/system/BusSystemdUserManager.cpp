#include "app/system/BusSystemdUserManager.hpp"

#include <QCoro/QCoroDBusPendingCall>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <map>
#include <utility>

namespace kestrava::app {
namespace {

using Cause = PlatformError::Cause;

// The cause a D-Bus error's name gives, from the bus (nobody owns the manager's name, or starting it
// failed), from the manager, or from the connection's own reply timer.
Cause causeOf(const QString& errorName) {
    static const std::map<QString, Cause> named{
        {QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"), Cause::noServiceManager},
        {QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"), Cause::noServiceManager},
        {QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"), Cause::accessDenied},
        {QStringLiteral("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired"), Cause::accessDenied},
        {QStringLiteral("org.freedesktop.systemd1.NoSuchUnit"), Cause::unitNotFound},
        {QStringLiteral("org.freedesktop.systemd1.LoadFailed"), Cause::unitNotFound},
        {QStringLiteral("org.freedesktop.DBus.Error.NoReply"), Cause::timedOut},
        {QStringLiteral("org.freedesktop.DBus.Error.Timeout"), Cause::timedOut},
        {QStringLiteral("org.freedesktop.DBus.Error.TimedOut"), Cause::timedOut},
    };
    // The bus would start the manager on demand; where none runs for the user, that start fails.
    if (errorName.startsWith(QStringLiteral("org.freedesktop.DBus.Error.Spawn."))) {
        return Cause::noServiceManager;
    }
    const auto found = named.find(errorName);
    return found == named.end() ? Cause::unnamed : found->second;
}

// The bus is held by value, so a call in flight outlives the object that made it.
SystemdUserManager::Answer call(QDBusConnection bus, QString method, QVariantList arguments) {
    if (!bus.isConnected()) {
        co_return PlatformError{"no bus to reach the service manager: " +
                                    bus.lastError().message().toStdString(),
                                Cause::noServiceManager};
    }
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.systemd1"), QStringLiteral("/org/freedesktop/systemd1"),
        QStringLiteral("org.freedesktop.systemd1.Manager"), method);
    message.setArguments(arguments);
    const QDBusPendingCall pending = bus.asyncCall(message);
    const QDBusMessage reply = co_await pending;
    if (reply.type() != QDBusMessage::ErrorMessage) {
        co_return std::nullopt;
    }
    const QString text = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    co_return PlatformError{text.toStdString(), causeOf(reply.errorName())};
}

QStringList unitFiles(const std::string& unit) {
    return {QString::fromStdString(unit)};
}

// A job already queued for the unit gives way, as with systemctl.
const QString replaceQueuedJob = QStringLiteral("replace");

} // namespace

BusSystemdUserManager::BusSystemdUserManager(QDBusConnection bus) : bus_(std::move(bus)) {}

SystemdUserManager::Answer BusSystemdUserManager::enableUnitFiles(std::string unit) {
    // Not only for this boot (runtime), and no taking over of another unit's links (force).
    return call(bus_, QStringLiteral("EnableUnitFiles"), {unitFiles(unit), false, false});
}

SystemdUserManager::Answer BusSystemdUserManager::disableUnitFiles(std::string unit) {
    return call(bus_, QStringLiteral("DisableUnitFiles"), {unitFiles(unit), false});
}

SystemdUserManager::Answer BusSystemdUserManager::reload() {
    return call(bus_, QStringLiteral("Reload"), {});
}

SystemdUserManager::Answer BusSystemdUserManager::startUnit(std::string unit) {
    return call(bus_, QStringLiteral("StartUnit"), {QString::fromStdString(unit), replaceQueuedJob});
}

SystemdUserManager::Answer BusSystemdUserManager::stopUnit(std::string unit) {
    return call(bus_, QStringLiteral("StopUnit"), {QString::fromStdString(unit), replaceQueuedJob});
}

} // namespace kestrava::app
