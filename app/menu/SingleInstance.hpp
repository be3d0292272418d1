#pragma once

#include <QLocalServer>
#include <QObject>
#include <filesystem>
#include <optional>

namespace kestrava::app {

// One application per user session: the first one listens on a socket in the user's runtime folder; a
// later one finds it there, asks it to come forward and steps aside.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    // The socket beside the agent's control socket; none where the user has no private runtime folder
    // (then every start runs).
    static std::optional<std::filesystem::path> standardPath();

    explicit SingleInstance(std::optional<std::filesystem::path> path);

    // True when another instance was found and asked to come forward: this one should exit.
    bool forwardToRunning();
    // Listens for later instances; false when the socket cannot be made.
    bool listen();

signals:
    // A later instance asked this one to come forward.
    void broughtForward();

private:
    const std::optional<std::filesystem::path> path_;
    QLocalServer server_;
};

} // namespace kestrava::app
