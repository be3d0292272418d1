#pragma once

#include "agent-core/exec/Executor.hpp"
#include "agent-core/host/PowerGuard.hpp"
#include "agent-core/host/PowerSourceMonitor.hpp"
#include "agent-core/state/Config.hpp"
#include "platform/crypto/P256.hpp"
#include "platform/process/Process.hpp"

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrava {

class StateStore;

// The agent process: start-up in a fixed order, then the main loop until a signal ends it. Owns every
// long-lived part of the agent; it lives until the process exits.
class Agent : public std::enable_shared_from_this<Agent> {
public:
    // Exit statuses the service manager and the application see.
    static constexpr int exitAnotherInstance = 1;
    static constexpr int exitIdentityFailure = 1;
    static constexpr int exitBadConfiguration = 2;
    static constexpr int exitBackendChangeRefused = 64;

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
          std::filesystem::path configPath);

    // On the main loop, once: the start line, the signal handlers and the keep-awake guard with its
    // power-source watch.
    void start();

    // On the main loop, at SIGTERM or SIGINT.
    void shutdown(int signalNumber);

private:
    void installSignalHandlers();

    // On the main loop, whenever the power supplies change.
    void powerSourceChanged();

    // Tells running commands to end and gives them a moment to report before the process exits.
    void cancelJobsAndWait();

    boost::asio::io_context& mainContext_;
    std::mutex lock_;
    Config config_;         // guarded by lock_
    bool monitoringPaused_; // guarded by lock_
    const crypto::P256PrivateKey macKey_;
    const std::shared_ptr<StateStore> state_;
    const std::shared_ptr<Executor> executor_;
    const std::optional<std::string> initialToken_;
    const std::filesystem::path configPath_;
    const std::shared_ptr<SystemPowerSource> power_;
    PowerGuard powerGuard_;                          // has its own lock
    std::optional<PowerSourceMonitor> powerMonitor_; // set once by start()
    boost::asio::signal_set signalSources_;
};

} // namespace kestrava
