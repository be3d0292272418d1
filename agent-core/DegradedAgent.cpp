#include "agent-core/DegradedAgent.hpp"

#include "agent-core/PairedPhonesJSON.hpp"
#include "agent-core/control/AgentStatus.hpp"
#include "agent-core/control/AgentXPCListener.hpp"
#include "agent-core/control/ChangeNotifications.hpp"
#include "agent-core/control/XPCCoding.hpp"
#include "agent-core/host/HostFacts.hpp"
#include "agent-core/runtime/AgentEnvironment.hpp"
#include "agent-core/runtime/AgentVersion.hpp"
#include "agent-core/runtime/GlobalQueue.hpp"
#include "agent-core/runtime/Log.hpp"
#include "agent-core/runtime/Sanitize.hpp"
#include "platform/process/Process.hpp"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>

#include <algorithm>
#include <csignal>
#include <exception>

namespace kestrava {
namespace {

// How long the restart waits, so that the request that asked for it gets its answer first.
constexpr std::chrono::milliseconds restartDelay{500};

void restartLater() {
    const auto timer = std::make_shared<boost::asio::steady_timer>(globalQueue(), restartDelay);
    timer->async_wait([timer](const boost::system::error_code&) { process::terminate(0); });
}

} // namespace

void DegradedAgent::run(std::shared_ptr<StateStore> state, std::string macName, const std::string& why) {
    logError(why);
    const auto agent = std::make_shared<DegradedAgent>(
        std::move(state), std::move(macName),
        [] {
            const SystemPowerSource power;
            return makeStatusSnapshot(false, power);
        },
        restartLater, postChanged);
    AgentXPCListener listener(agent, {.serviceMode = process::isStartedByServiceManager(),
                                      .peerExecutable = applicationExecutable(),
                                      .fullDiskAccess = hasFullDiskAccess});
    listener.start();

    boost::asio::io_context mainContext;
    boost::asio::signal_set signals(mainContext, SIGTERM, SIGINT);
    signals.async_wait([&listener](const boost::system::error_code& error, int) {
        if (!error) {
            listener.invalidate();
            process::terminate(0);
        }
    });
    agent->notify_();
    const auto keepRunning = boost::asio::make_work_guard(mainContext);
    mainContext.run();
    process::terminate(0);
}

DegradedAgent::DegradedAgent(std::shared_ptr<StateStore> state, std::string macName,
                             std::function<StatusSnapshot()> snapshot, std::function<void()> restart,
                             std::function<void()> notify)
    : state_(std::move(state)), macName_(std::move(macName)), snapshot_(std::move(snapshot)),
      restart_(std::move(restart)), notify_(std::move(notify)) {}

std::optional<std::string> DegradedAgent::status() {
    return XPCCoding::encodeOrNone(
        AgentStatus{.connection = ConnectionState{ConnectionState::Error{std::string(configLostMessage)}},
                    .snapshot = snapshot_(),
                    .deviceId = std::nullopt,
                    .macName = macName_,
                    .agentVersion = agentVersion(),
                    .monitoringPaused = false});
}

std::optional<AgentControl::OpenedPairing> DegradedAgent::openPairing() {
    return std::nullopt;
}

void DegradedAgent::cancelPairing() {}

PairingOutcome DegradedAgent::decide(const std::string&, bool) {
    return {PairingOutcome::Denied{PairingDenial::notPending}};
}

std::optional<std::string> DegradedAgent::phones() {
    return pairedPhonesJSON(*state_);
}

bool DegradedAgent::revoke(const std::string& phoneId) {
    const std::vector<PairedPhone> phones = state_->phones();
    if (std::none_of(phones.begin(), phones.end(),
                     [&](const PairedPhone& phone) { return phone.phoneId == phoneId; })) {
        return false;
    }
    state_->remove(phoneId);
    try {
        state_->save();
    } catch (const std::exception& error) {
        logError(std::string("state save failed: ") + error.what());
        return false;
    }
    log(LogLevel::info, "degraded mode: unpaired phone " + sanitize(phoneId, 80) + " locally");
    notify_();
    return true;
}

void DegradedAgent::setMonitoringPaused(bool) {}

bool DegradedAgent::reregister() {
    if (!state_->phones().empty()) {
        return false;
    }
    log(LogLevel::info, "degraded mode: no phones left, restarting to register a new device");
    restart_();
    return true;
}

std::optional<std::string> DegradedAgent::pendingPairing() {
    return std::nullopt;
}

} // namespace kestrava
