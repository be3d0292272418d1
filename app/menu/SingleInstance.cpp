#include "app/menu/SingleInstance.hpp"

#include "agent-core/control/AgentXPC.hpp"
#include "agent-core/control/ControlSocketPath.hpp"

#include <QLocalSocket>
#include <cstdlib>
#include <unistd.h>

namespace kestrava::app {
namespace {

constexpr int answerWithin = 1000; // ms: an instance that hangs longer counts as gone
const QByteArray comeForward = QByteArrayLiteral("show\n");

} // namespace

std::optional<std::filesystem::path> SingleInstance::standardPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return ControlSocketPath::in(runtime ? std::optional<std::string>(runtime) : std::nullopt, ::geteuid(),
                                 AgentXPC::machServiceName() + ".app")
        .path;
}

SingleInstance::SingleInstance(std::optional<std::filesystem::path> path) : path_(std::move(path)) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* caller = server_.nextPendingConnection()) {
            connect(caller, &QLocalSocket::readyRead, this, [this, caller] {
                if (caller->readAll().startsWith(comeForward.trimmed())) {
                    emit broughtForward();
                }
                caller->disconnectFromServer();
            });
            connect(caller, &QLocalSocket::disconnected, caller, &QObject::deleteLater);
        }
    });
}

bool SingleInstance::forwardToRunning() {
    if (!path_) {
        return false;
    }
    QLocalSocket running;
    running.connectToServer(QString::fromStdString(path_->string()));
    if (!running.waitForConnected(answerWithin)) {
        return false;
    }
    running.write(comeForward);
    return running.waitForBytesWritten(answerWithin);
}

bool SingleInstance::listen() {
    if (!path_) {
        return false;
    }
    const QString name = QString::fromStdString(path_->string());
    // Nobody answered there: what is left is a socket of an instance that died.
    QLocalServer::removeServer(name);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    return server_.listen(name);
}

} // namespace kestrava::app
