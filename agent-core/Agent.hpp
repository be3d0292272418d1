#pragma once

#include "agent-core/ReregistrationEffects.hpp"
#include "agent-core/control/AgentControl.hpp"
#include "agent-core/control/AgentXPCListener.hpp"
#include "agent-core/control/ConnectionState.hpp"
#include "agent-core/exec/Executor.hpp"
#include "agent-core/host/NetworkReturn.hpp"
#include "agent-core/host/PowerGuard.hpp"
#include "agent-core/host/PowerSourceMonitor.hpp"
#include "agent-core/relay/Connection.hpp"
#include "agent-core/session/Session.hpp"
#include "agent-core/state/Config.hpp"
#include "platform/crypto/P256.hpp"
#include "platform/net/NetworkPath.hpp"
#include "platform/power/WakeWatch.hpp"
#include "platform/process/Process.hpp"

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrava {

class ConnectionBox;
class StateStore;

// The agent process: start-up in a fixed order, then the main loop until a signal ends it. It gets its
// relay identity in the bootstrap, holds the session and the relay connection, reacts to wake, network
// return, power changes and a 30 s timer, and answers the local control surface. It owns every long-lived
// part of the agent and lives until the process exits.
class Agent : public AgentControl, public std::enable_shared_from_this<Agent> {
public:
    // Exit statuses the service manager and the application see.
    static constexpr int exitAnotherInstance = 1;
    static constexpr int exitIdentityFailure = 1;
    static constexpr int exitBadConfiguration = 2;
    static constexpr int exitBackendChangeRefused = 64;

    static constexpr std::chrono::seconds statusTimerPeriod{30};
    static constexpr std::chrono::milliseconds goodbyeLimit{1000};

    // Start-up with the command line (without the program path); never returns.
    [[noreturn]] static void run(const std::vector<std::string>& arguments);

    // Which configuration to run with: the "--backend" override (and, in debug builds, the environment)
    // against "config.json", guarding paired phones. Throws AgentStartupError, BackendURL::Error or the
    // error of saving the file.
    static Config resolveConfig(const std::vector<std::string>& arguments,
                                const process::Environment& environment, bool isDebug,
                                const std::string& macName, const std::filesystem::path& configPath,
                                std::int64_t phones);

    Agent(boost::asio::io_context& mainContext, Config config, crypto::P256PrivateKey macKey,
          std::shared_ptr<StateStore> state, std::optional<std::string> initialToken,
          std::filesystem::path configPath, ReregistrationEffects effects);

    // On the main loop, once: the start line, the signal handlers, the keep-awake guard with its
    // power-source watch, the control socket, and the bootstrap on a thread of its own.
    void start();

    // On the main loop, at SIGTERM or SIGINT; again at a second signal.
    void shutdown(int signalNumber);

    // Gives the agent its relay identity (registering while it has none, retrying with back-off), then
    // builds, wires and installs a session and a connection; the first one also starts the triggers.
    // Blocks; runs on a thread of its own.
    void bootstrap(std::optional<std::string> token);

    // Removes the relay identity: "deviceId" from the live configuration and its file, the relay token
    // from the secret store. Ends the process when the file cannot be written.
    void wipeIdentity();

    // The control surface's operations.
    std::optional<std::string> status() override;
    std::optional<OpenedPairing> openPairing() override;
    void cancelPairing() override;
    PairingOutcome decide(const std::string& requestId, bool approve) override;
    std::optional<std::string> phones() override;
    bool revoke(const std::string& phoneId) override;
    void setMonitoringPaused(bool paused) override;
    bool reregister() override;
    std::optional<std::string> pendingPairing() override;

private:
    struct Detached {
        std::shared_ptr<Connection> connection;
    };
    // The session and the connection the bootstrap installed together; both none before and during a
    // re-registration.
    struct Link {
        std::shared_ptr<Session> session;
        std::shared_ptr<Connection> connection;
        explicit operator bool() const { return session && connection; }
    };

    void installSignalHandlers();
    // The next SIGTERM or SIGINT runs the shutdown.
    void awaitSignal();
    void cancelJobsAndWait();

    // Copies taken under lock_.
    Config liveConfig();
    Link installedLink();
    // Saves the live configuration as it is when the save runs; saves never overlap, so an older copy
    // cannot overwrite a newer one. Throws the error of Config::save.
    void saveConfig();
    // Registers a new device, stores its token and its id; the new relay token.
    std::string registerDevice(const Config& config);
    std::shared_ptr<Session> buildSession(const Config& config, std::shared_ptr<ConnectionBox> box);
    std::shared_ptr<Connection> buildConnection(const Config& config, const std::string& token,
                                                std::shared_ptr<Session> session);
    // True for the first installation.
    bool install(std::shared_ptr<Session> session, std::shared_ptr<Connection> connection);
    void startTriggers();

    // Run-time triggers and the connection's reports.
    void setLinkState(const ConnectionState& state);
    void powerSourceChanged();
    void didWake();
    void pathChanged(bool satisfied);
    void statusTimerFired();
    void armStatusTimer();
    static void refreshStatusIfConnected(const std::shared_ptr<Connection>& connection,
                                         const std::shared_ptr<Session>& session);
    void pairingRequested(const PendingPairing& request);
    Connection::AuthRejectedAction onAuthRejected();

    // Re-registration. The caller holds lock_.
    std::optional<Detached> takeForReregistration();
    void performReregistration(Detached detached);
    void runScheduledReregistration();

    // Control operations' helpers.
    bool isHoldingKeepAwake();
    StatusSnapshot statusSnapshot();
    void closeOpenPairing(const std::shared_ptr<Session>& session);
    // Pauses or resumes the installed connection as the flag is now; the connection does nothing when it
    // already is so.
    void applyPauseToLink();
    // Runs `work` on the global queue after `delay`.
    static void runLater(std::chrono::nanoseconds delay, std::function<void()> work);

    boost::asio::io_context& mainContext_;
    const crypto::P256PrivateKey macKey_;
    const std::shared_ptr<StateStore> state_;
    const std::shared_ptr<Executor> executor_;
    const std::optional<std::string> initialToken_;
    const std::filesystem::path configPath_;
    const ReregistrationEffects effects_;
    const std::shared_ptr<SystemPowerSource> power_;
    PowerGuard powerGuard_; // has its own lock

    // Written once, on the main loop or by the first bootstrap, before anything reads them.
    std::optional<PowerSourceMonitor> powerMonitor_;
    std::unique_ptr<AgentXPCListener> xpc_;
    std::unique_ptr<power::WakeWatch> wakeWatch_;
    std::unique_ptr<net::NetworkPathMonitor> pathMonitor_;
    std::unique_ptr<boost::asio::steady_timer> statusTimer_;
    boost::asio::signal_set signalSources_;

    std::mutex lock_;
    Config config_;                          // guarded by lock_
    bool monitoringPaused_;                  // guarded by lock_
    std::shared_ptr<Session> session_;       // guarded by lock_
    std::shared_ptr<Connection> connection_; // guarded by lock_
    ConnectionState linkState_;              // guarded by lock_
    NetworkReturn networkReturn_;            // guarded by lock_
    bool triggersStarted_ = false;           // guarded by lock_
    std::int64_t pairingGeneration_ = 0;     // guarded by lock_
    bool reregisterScheduled_ = false;       // guarded by lock_

    std::mutex configSaveLock_; // serialises the saves of "config.json"; taken before lock_
    std::mutex linkPauseLock_;  // serialises applyPauseToLink; taken before lock_
};

} // namespace kestrava
