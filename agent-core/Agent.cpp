#include "agent-core/Agent.hpp"

#include "agent-core/AgentStartupError.hpp"
#include "agent-core/host/HostFacts.hpp"
#include "agent-core/relay/BackendURL.hpp"
#include "agent-core/runtime/AgentVersion.hpp"
#include "agent-core/runtime/GlobalQueue.hpp"
#include "agent-core/runtime/Log.hpp"
#include "agent-core/state/DataLocations.hpp"
#include "agent-core/state/IdentityError.hpp"
#include "agent-core/state/KeychainIdentity.hpp"
#include "agent-core/state/SingleInstanceLock.hpp"
#include "agent-core/state/StateStore.hpp"
#include "agent-core/state/SystemKeychain.hpp"
#include "platform/process/HostName.hpp"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/use_future.hpp>

#include <chrono>
#include <csignal>

namespace kestrava {
namespace {

#ifdef KESTRAVA_DEBUG_BACKEND
constexpr bool isDebug = true;
#else
constexpr bool isDebug = false;
#endif

// Resolves the configuration or ends the process with the status the failure calls for.
Config resolvedConfigOrExit(const std::vector<std::string>& arguments, const std::string& macName,
                            std::int64_t phones) {
    try {
        return Agent::resolveConfig(arguments, process::environment(), isDebug, macName, configFileURL(),
                                    phones);
    } catch (const AgentStartupError& error) {
        logError(error.what());
        switch (error.kind()) {
        case AgentStartupError::Kind::invalidBackend:
            process::terminate(Agent::exitBadConfiguration);
        case AgentStartupError::Kind::backendChangeRefused:
            process::terminate(Agent::exitBackendChangeRefused);
        case AgentStartupError::Kind::configLostWithPhones:
            // Degraded mode, which keeps the local control surface up without a relay, is not built
            // yet; until it is, the agent stops here.
            process::terminate(1);
        }
    } catch (const std::exception& error) {
        logError(error.what());
    }
    process::terminate(Agent::exitBadConfiguration);
}

std::int64_t pairedPhoneCount(const StateStore& state) {
    return static_cast<std::int64_t>(state.phones().size());
}

} // namespace

void Agent::run(const std::vector<std::string>& arguments) {
    // Standard error may be a journal stream that goes away; a write then must not end the agent.
    std::signal(SIGPIPE, SIG_IGN);

    Log::configure(Log::defaultURL());
    if (!acquireSingleInstanceLock()) {
        logError("another kestrava-agent is already running");
        process::terminate(exitAnotherInstance);
    }
    auto state = std::make_shared<StateStore>(stateFileURL());
    const std::string macName = process::localizedHostName().value_or("Mac");
    Config config = resolvedConfigOrExit(arguments, macName, pairedPhoneCount(*state));

    const KeychainIdentity identity{.store = std::make_shared<SystemKeychain>()};
    const bool deviceExists = config.deviceId.has_value();
    std::optional<crypto::P256PrivateKey> macKey;
    std::optional<std::string> token;
    try {
        macKey = identity.loadOrCreateMacKey(deviceExists, static_cast<int>(pairedPhoneCount(*state)));
        token = identity.readAgentToken(deviceExists);
    } catch (const IdentityError& error) {
        logError(error.what());
        process::terminate(exitIdentityFailure);
    }

    boost::asio::io_context mainContext;
    const auto agent = std::make_shared<Agent>(mainContext, std::move(config), std::move(*macKey), state,
                                               std::move(token), configFileURL());
    agent->start();
    const auto keepRunning = boost::asio::make_work_guard(mainContext);
    mainContext.run();
    process::terminate(0);
}

Agent::Agent(boost::asio::io_context& mainContext, Config config, crypto::P256PrivateKey macKey,
             std::shared_ptr<StateStore> state, std::optional<std::string> initialToken,
             std::filesystem::path configPath)
    : mainContext_(mainContext), config_(std::move(config)), monitoringPaused_(config_.monitoringPaused),
      macKey_(std::move(macKey)), state_(std::move(state)),
      executor_(std::make_shared<Executor>(globalQueue().get_executor(), hasFullDiskAccess)),
      initialToken_(std::move(initialToken)), configPath_(std::move(configPath)),
      power_(std::make_shared<SystemPowerSource>()),
      powerGuard_(power_, PowerGuard::createSystemAssertion, PowerGuard::releaseSystemAssertion),
      signalSources_(mainContext) {}

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
}

void Agent::installSignalHandlers() {
    signalSources_.add(SIGTERM);
    signalSources_.add(SIGINT);
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

void Agent::powerSourceChanged() {
    powerGuard_.update();
    log(LogLevel::info,
        std::string("power source changed; holding=") + (powerGuard_.isHolding() ? "true" : "false"));
}

void Agent::shutdown(int signalNumber) {
    log(LogLevel::info, "signal " + std::to_string(signalNumber) + ": shutting down");
    cancelJobsAndWait();
    {
        const std::lock_guard held(powerGuard_.lock());
        powerGuard_.releaseAll();
    }
    // No relay link exists yet, so nothing else needs stopping.
    process::terminate(0);
}

void Agent::cancelJobsAndWait() {
    executor_->cancelAll(boost::asio::use_future).wait_for(std::chrono::milliseconds(200));
}

} // namespace kestrava
