#include "app/system/FileManagerReveal.hpp"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QUrl>

namespace kestrava::app {

void revealInFileManager(const std::filesystem::path& item) {
    const QString path = QString::fromStdString(item.string());
    QDBusMessage show = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    show << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(show, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        QProcess::startDetached(QStringLiteral("xdg-open"),
                                {QString::fromStdString(item.parent_path().string())});
    }
}

} // namespace kestrava::app
