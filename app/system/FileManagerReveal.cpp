#include "app/system/FileManagerReveal.hpp"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QProcess>
#include <QUrl>

namespace kestrava::app {

void revealInFileManager(const std::filesystem::path& item) {
    const QString path = QString::fromStdString(item.string());
    QDBusMessage show = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    show << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    // Answered later, so the interface does not wait on a file manager that may be slow to start.
    auto* answer = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(show, 2000));
    const QString folder = QString::fromStdString(item.parent_path().string());
    QObject::connect(answer, &QDBusPendingCallWatcher::finished, answer,
                     [folder](QDBusPendingCallWatcher* call) {
                         if (call->isError()) {
                             QProcess::startDetached(QStringLiteral("xdg-open"), {folder});
                         }
                         call->deleteLater();
                     });
}

} // namespace kestrava::app
