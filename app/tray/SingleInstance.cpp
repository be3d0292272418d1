#include "app/tray/SingleInstance.hpp"

#include "agent-core/control/AgentXPC.hpp"
#include "agent-core/control/ControlSocketPath.hpp"

#include <QGuiApplication>
#include <QLocalSocket>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace kestrava::app {
namespace {

constexpr int answerWithin = 1000; // ms: an instance that hangs longer counts as gone
// Seldom enough that the looks of a few seconds stay within the backlog of an instance that accepts no more.
constexpr auto lookAgainAfter = std::chrono::milliseconds(200);
// One line: "show", then a space and the activation token where there is one. Earlier versions send and
// expect the bare word.
const QByteArray comeForward = QByteArrayLiteral("show");
constexpr qint64 longestRequest = 4096;

// The launcher's token is for this start alone, spent or stale once it has come forward: out of the
// environment, nothing the application starts presents it.
QByteArray takeActivationToken() {
    const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
    qunsetenv("XDG_ACTIVATION_TOKEN");
    return token;
}

QByteArray comeForwardRequest(const QByteArray& token) {
    const bool oneWord = !token.isEmpty() && !token.contains(' ') && !token.contains('\n');
    return comeForward + (oneWord ? " " + token : QByteArray()) + "\n";
}

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
                if (!caller->canReadLine() && caller->bytesAvailable() < longestRequest) {
                    return; // the rest of the line is on its way
                }
                const QByteArray request = caller->readLine(longestRequest).trimmed();
                if (request == comeForward || request.startsWith(comeForward + ' ')) {
                    emit broughtForward(QString::fromUtf8(request.mid(comeForward.size()).trimmed()));
                }
                caller->disconnectFromServer();
            });
            connect(caller, &QLocalSocket::disconnected, caller, &QObject::deleteLater);
        }
    });
}

SingleInstance::~SingleInstance() {
    endTurn();
}

void offerActivationToken(const QByteArray& token) {
    if (!token.isEmpty() && QGuiApplication::platformName() == QLatin1String("wayland")) {
        qputenv("XDG_ACTIVATION_TOKEN", token);
    }
}

bool SingleInstance::forwardToRunning(std::chrono::milliseconds leaving) {
    const QByteArray token = takeActivationToken();
    const bool forwarded = askRunningToComeForward(token, leaving);
    if (!forwarded) {
        // The token was given for this start's own first window.
        offerActivationToken(token);
    }
    return forwarded;
}

bool SingleInstance::askRunningToComeForward(const QByteArray& token, std::chrono::milliseconds leaving) {
    if (!path_) {
        return false;
    }
    // Without the lock file (a runtime folder that refuses it) starts go unguarded, as the socket alone
    // allows.
    turn_ = ::open((path_->string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    // Waits while another start takes its turn.
    while (turn_ >= 0 && ::flock(turn_, LOCK_EX) != 0 && errno == EINTR) {
        // A signal interrupted the wait: wait on.
    }
    const auto givenUpAt = std::chrono::steady_clock::now() + leaving;
    QLocalSocket running;
    for (;;) {
        running.connectToServer(QString::fromStdString(path_->string()));
        if (!running.waitForConnected(answerWithin)) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= givenUpAt) {
            break;
        }
        running.abort();
        std::this_thread::sleep_for(lookAgainAfter);
    }
    running.write(comeForwardRequest(token));
    if (!running.waitForBytesWritten(answerWithin)) {
        return false;
    }
    endTurn();
    return true;
}

bool SingleInstance::listen() {
    if (!path_) {
        return false;
    }
    const QString name = QString::fromStdString(path_->string());
    // Nobody answered there: what is left is a socket of an instance that died.
    QLocalServer::removeServer(name);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    const bool listening = server_.listen(name);
    endTurn();
    return listening;
}

void SingleInstance::stepAside() {
    server_.close();
}

void SingleInstance::endTurn() {
    // Closing the file gives the lock up.
    if (turn_ >= 0) {
        ::close(turn_);
        turn_ = -1;
    }
}

} // namespace kestrava::app
