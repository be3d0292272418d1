#include "agent-core/Agent.hpp"

#include "agent-core/AgentStartupError.hpp"
#include "agent-core/DegradedAgent.hpp"
#include "agent-core/control/ChangeNotifications.hpp"
#include "agent-core/host/HostFacts.hpp"
#include "agent-core/runtime/AgentEnvironment.hpp"
#include "agent-core/runtime/AgentVersion.hpp"
#include "agent-core/runtime/GlobalQueue.hpp"
#include "agent-core/runtime/Log.hpp"
#include "agent-core/state/AtomicWrite.hpp"
#include "agent-core/state/DataLocations.hpp"
#include "agent-core/state/IdentityError.hpp"
#include "agent-core/state/KeychainIdentity.hpp"
#include "agent-core/state/RegistrationRefused.hpp"
#include "agent-core/state/SingleInstanceLock.hpp"
#include "agent-core/state/StateStore.hpp"
#include "agent-core/state/SystemKeychain.hpp"
#include "platform/files/Files.hpp"
#include "platform/net/TlsThread.hpp"
#include "platform/process/CoreDumps.hpp"
#include "platform/process/HostName.hpp"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/use_future.hpp>

#include <chrono>
#include <csignal>
#include <unistd.h>

namespace kestrava {
namespace {

#ifdef KESTRAVA_DEBUG_BACKEND
constexpr bool isDebug = true;
#else
constexpr bool isDebug = false;
#endif

std::int64_t pairedPhoneCount(const StateStore& state) {
    return static_cast<std::int64_t>(state.phones().size());
}

std::string degradedLine(std::int64_t phones) {
    return "config.json lost or corrupt with " + std::to_string(phones) +
           " paired iPhone(s): degraded mode (no relay connection) until the config is restored or the "
           "iPhones "
           "are unpaired";
}

// Resolves the configuration, or ends the process with the status the failure calls for, or serves the
// control surface in degraded mode when the configuration was lost while phones are paired.
Config resolvedConfigOrExit(const std::vector<std::string>& arguments, const std::string& macName,
                            const std::shared_ptr<StateStore>& state) {
    try {
        return Agent::resolveConfig(arguments, process::environment(), isDebug, macName, configFileURL(),
                                    pairedPhoneCount(*state));
    } catch (const AgentStartupError& error) {
        logError(error.what());
        switch (error.kind()) {
        case AgentStartupError::Kind::invalidBackend:
            process::terminate(Agent::exitBadConfiguration);
        case AgentStartupError::Kind::backendChangeRefused:
            process::terminate(Agent::exitBackendChangeRefused);
        case AgentStartupError::Kind::configLostWithPhones:
            DegradedAgent::run(state, macName, degradedLine(pairedPhoneCount(*state)));
        }
    } catch (const std::exception& error) {
        logError(error.what());
    }
    process::terminate(Agent::exitBadConfiguration);
}

// The Mac's key and the relay token, or the process's end: an exit when they cannot be read or stored,
// degraded mode when phones are paired and no new device may be registered for them.
KeychainIdentity::Loaded identityOrExit(const std::shared_ptr<SecretStore>& keychain, bool deviceExists,
                                        const std::shared_ptr<StateStore>& state,
                                        const std::string& macName) {
    try {
        return KeychainIdentity{.store = keychain}.load(deviceExists,
                                                        static_cast<int>(pairedPhoneCount(*state)));
    } catch (const RegistrationRefused& refused) {
        DegradedAgent::run(state, macName, refused.what());
    } catch (const IdentityError& error) {
        logError(error.what());
    }
    process::terminate(Agent::exitIdentityFailure);
}

} // namespace

void Agent::run(const std::vector<std::string>& arguments) {
    // Standard error may be a journal stream that goes away; a write then must not end the agent.
    std::signal(SIGPIPE, SIG_IGN);
    // Before any secret is read: the private key and the relay token must not end up in a core file.
    process::refuseCoreDumps();

    Log::configure(Log::defaultURL());
    const SingleInstanceLock lock = acquireSingleInstanceLock();
    if (lock == SingleInstanceLock::takenByAnother) {
        logError("another kestrava-agent is already running");
        process::terminate(exitAnotherInstance);
    }
    const auto keychain = std::make_shared<SystemKeychain>();
    // A kill during a durable write leaves its temporary file; only the lock says no other agent is
    // writing one now.
    if (lock == SingleInstanceLock::held) {
        files::removeInterruptedReplacements(configFileURL().parent_path());
        keychain->removeInterruptedWrites();
    }
    auto state = std::make_shared<StateStore>(stateFileURL());
    const std::string macName = process::localizedHostName().value_or("Mac");
    Config config = resolvedConfigOrExit(arguments, macName, state);

    KeychainIdentity::Loaded identity = identityOrExit(keychain, config.deviceId.has_value(), state, macName);

    boost::asio::io_context mainContext;
    const auto agent = std::make_shared<Agent>(mainContext, std::move(config), std::move(identity.macKey),
                                               state, std::move(identity.agentToken), configFileURL(),
                                               ReregistrationEffects::live());
    agent->start();
    const auto keepRunning = boost::asio::make_work_guard(mainContext);
    mainContext.run();
    process::terminate(0);
}

Agent::Agent(boost::asio::io_context& mainContext, Config config, crypto::P256PrivateKey macKey,
             std::shared_ptr<StateStore> state, std::optional<std::string> initialToken,
             std::filesystem::path configPath, ReregistrationEffects effects)
    : mainContext_(mainContext), macKey_(std::move(macKey)), state_(std::move(state)),
      executor_(std::make_shared<Executor>(globalQueue().get_executor(), hasFullDiskAccess)),
      initialToken_(std::move(initialToken)), configPath_(std::move(configPath)),
      effects_(std::move(effects)), power_(std::make_shared<SystemPowerSource>()),
      powerGuard_(power_, PowerGuard::createSystemAssertion, PowerGuard::releaseSystemAssertion),
      signalSources_(mainContext), config_(std::move(config)),
      monitoringPaused_(config_.monitoringPaused), linkState_{ConnectionState::Reconnecting{0}} {}

void Agent::start() {
    log(LogLevel::info, "kestrava-agent " + agentVersion() + " starting");
    installSignalHandlers();
    // The power policy applies before anything else can change it.
    powerGuard_.update();
    powerMonitor_.emplace([weak = weak_from_this()] {
        if (const auto agent = weak.lock()) {
            agent->powerSourceChanged();
        }
    });
    powerMonitor_->start(mainContext_);

    xpc_ = std::make_unique<AgentXPCListener>(
        weak_from_this(), AgentXPCListener::Settings{.serviceMode = process::isStartedByServiceManager(),
                                                     .peerExecutable = applicationExecutable(),
                                                     .fullDiskAccess = hasFullDiskAccess});
    xpc_->start();

    net::startTlsThread([self = shared_from_this()] { self->bootstrap(self->initialToken_); }).detach();
}

void Agent::installSignalHandlers() {
    signalSources_.add(SIGTERM);
    signalSources_.add(SIGINT);
    awaitSignal();
}

void Agent::awaitSignal() {
    signalSources_.async_wait(
        [weak = weak_from_this()](const boost::system::error_code& error, int signalNumber) {
            if (error) {
                return;
            }
            if (const auto agent = weak.lock()) {
                agent->shutdown(signalNumber);
            }
        });
}

void Agent::shutdown(int signalNumber) {
    log(LogLevel::info, "signal " + std::to_string(signalNumber) + ": shutting down");
    // A second signal runs the shutdown again.
    awaitSignal();
    if (xpc_) {
        xpc_->invalidate();
    }
    cancelJobsAndWait();
    {
        const std::lock_guard held(powerGuard_.lock());
        powerGuard_.releaseAll();
    }
    const std::shared_ptr<Connection> connection = installedLink().connection;
    if (!connection) {
        process::terminate(0);
    }
    connection->close([] { process::terminate(0); }, goodbyeLimit);
}

void Agent::cancelJobsAndWait() {
    executor_->cancelAll(boost::asio::use_future).wait_for(std::chrono::milliseconds(200));
}

void Agent::powerSourceChanged() {
    powerGuard_.update();
    log(LogLevel::info,
        std::string("power source changed; holding=") + (isHoldingKeepAwake() ? "true" : "false"));
    postChanged();
    if (const Link link = installedLink()) {
        runLater(std::chrono::nanoseconds(0),
                 [link] { refreshStatusIfConnected(link.connection, link.session); });
    }
}

void Agent::saveConfig() {
    std::optional<files::FileError> unflushed;
    {
        const std::lock_guard saving(configSaveLock_);
        unflushed = liveConfig().save(configPath_);
    }
    if (unflushed) {
        logUnflushedFolder(*unflushed);
    }
}

Config Agent::liveConfig() {
    const std::lock_guard held(lock_);
    return config_;
}

Agent::Link Agent::installedLink() {
    const std::lock_guard held(lock_);
    return {session_, connection_};
}

void Agent::wipeIdentity() {
    {
        const std::lock_guard held(lock_);
        config_.deviceId.reset();
    }
    try {
        saveConfig();
    } catch (const std::exception& error) {
        logError(std::string("cannot save config: ") + error.what());
        process::terminate(1);
    }
    SystemKeychain().deleteAgentToken();
}

bool Agent::isHoldingKeepAwake() {
    return powerGuard_.isHolding();
}

StatusSnapshot Agent::statusSnapshot() {
    return makeStatusSnapshot(isHoldingKeepAwake(), *power_);
}

void Agent::runLater(std::chrono::nanoseconds delay, std::function<void()> work) {
    const auto timer = std::make_shared<boost::asio::steady_timer>(globalQueue(), delay);
    timer->async_wait([timer, work = std::move(work)](const boost::system::error_code& error) {
        if (error) {
            return;
        }
        try {
            work();
        } catch (const std::exception& failure) {
            logError(std::string("scheduled work failed: ") + failure.what());
        }
    });
}

} // namespace kestrava
