#pragma once

#include <QLocalServer>
#include <QObject>
#include <chrono>
#include <filesystem>
#include <optional>

namespace kestrava::app {

// One application per user session: the first one listens on a socket in the user's runtime folder; a
// later one finds it there, asks it to come forward and steps aside. Looking for a running one and
// listening are one turn under a lock file beside the socket, so two starts at the same instant cannot
// both find nobody and both run. The later start hands over the activation token its launcher gave it,
// which a Wayland compositor asks for before it lets a window come forward. Interface thread; owns its
// socket and, during its turn, the lock.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    // The socket beside the agent's control socket; none where the user has no private runtime folder
    // (then every start runs).
    static std::optional<std::filesystem::path> standardPath();

    explicit SingleInstance(std::optional<std::filesystem::path> path);
    ~SingleInstance() override;

    // True when another instance was found and asked to come forward, with this process's
    // XDG_ACTIVATION_TOKEN: this one should exit. On false the token is left only where Qt spends it on
    // this instance's first raised window (offerActivationToken), so no program it starts is handed it.
    // Waits while
    // another start takes its turn; on false this one holds the turn until it listens (or goes). A start
    // that replaces an instance on its way out (the copy a move starts) gives it `leaving` to go first.
    bool forwardToRunning(std::chrono::milliseconds leaving = {});
    // Listens for later instances, then ends the turn; false when the socket cannot be made.
    bool listen();
    // Stops answering: an instance on its way out leaves the next start to run.
    void stepAside();

signals:
    // A later instance asked this one to come forward; `activationToken` is empty where its launcher gave
    // it none, or it is of a version that sends none.
    void broughtForward(const QString& activationToken);

private:
    bool askRunningToComeForward(const QByteArray& token, std::chrono::milliseconds leaving);
    void endTurn();

    const std::optional<std::filesystem::path> path_;
    int turn_ = -1; // the locked lock file while this start looks and listens
    QLocalServer server_;
};

// Where Qt's Wayland platform raises windows with an activation token, sets `token` where it takes it
// from: it is spent on, and taken out of the environment at, the next window raised. Elsewhere nothing.
void offerActivationToken(const QByteArray& token);

} // namespace kestrava::app
