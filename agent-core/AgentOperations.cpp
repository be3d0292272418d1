// The agent's answers to the local control surface, and the timers that belong to them.
#include "agent-core/Agent.hpp"
#include "agent-core/PairedPhonesJSON.hpp"
#include "agent-core/control/AgentStatus.hpp"
#include "agent-core/control/ChangeNotifications.hpp"
#include "agent-core/control/PendingPairingInfo.hpp"
#include "agent-core/control/XPCCoding.hpp"
#include "agent-core/runtime/AgentVersion.hpp"
#include "agent-core/runtime/Log.hpp"
#include "agent-core/state/StateStore.hpp"

#include <algorithm>
#include <exception>

namespace kestrava {
namespace {

// How long after an approval the phones are told the status.
constexpr std::chrono::seconds approvalPushDelay{3};

} // namespace

std::optional<std::string> Agent::status() {
    const StatusSnapshot snapshot = statusSnapshot();
    AgentStatus status;
    {
        const std::lock_guard held(lock_);
        status = AgentStatus{.connection =
                                 monitoringPaused_ ? ConnectionState{ConnectionState::Paused{}} : linkState_,
                             .snapshot = snapshot,
                             .deviceId = config_.deviceId,
                             .macName = config_.macName,
                             .agentVersion = agentVersion(),
                             .monitoringPaused = monitoringPaused_};
    }
    return XPCCoding::encodeOrNone(status);
}

std::optional<AgentControl::OpenedPairing> Agent::openPairing() {
    const Link link = installedLink();
    if (!link || !link.connection->isConnected()) {
        return std::nullopt;
    }
    const std::shared_ptr<Session>& session = link.session;
    {
        const std::lock_guard held(lock_);
        if (monitoringPaused_) {
            return std::nullopt;
        }
    }
    const Timestamp now = wallClockNow();
    const PairingQR shown = session->openPairingWindow(now);
    std::int64_t generation = 0;
    {
        const std::lock_guard held(lock_);
        generation = ++pairingGeneration_;
    }
    // A later opening, a cancel or a pause moves the generation on and disarms this expiry.
    runLater(Session::pairingWindowLength, [weak = weak_from_this(), session, generation] {
        const auto agent = weak.lock();
        if (!agent) {
            return;
        }
        {
            const std::lock_guard held(agent->lock_);
            if (agent->pairingGeneration_ != generation) {
                return;
            }
        }
        agent->closeOpenPairing(session);
    });
    postChanged();
    return OpenedPairing{shown.urlString(),
                         static_cast<double>(millisecondsSince1970(now + Session::pairingWindowLength))};
}

void Agent::cancelPairing() {
    std::shared_ptr<Session> session;
    {
        // A new generation: no window expiry scheduled so far acts any more.
        const std::lock_guard held(lock_);
        ++pairingGeneration_;
        session = session_;
    }
    if (session) {
        closeOpenPairing(session);
    }
}

void Agent::closeOpenPairing(const std::shared_ptr<Session>& session) {
    if (const auto pending = session->pendingRequest()) {
        session->decide(pending->request.requestId, false);
    }
    session->closePairingWindow();
    postChanged();
}

PairingOutcome Agent::decide(const std::string& requestId, bool approve) {
    const std::shared_ptr<Session> session = installedLink().session;
    const auto pending = session ? session->pendingRequest() : std::nullopt;
    if (!pending || pending->request.requestId != requestId) {
        return {PairingOutcome::Denied{PairingDenial::notPending}};
    }
    PairingOutcome outcome = session->decide(requestId, approve);
    if (std::holds_alternative<PairingOutcome::Approved>(outcome.value)) {
        runLater(approvalPushDelay, [session] { session->pushStatus(session->statusProvider()()); });
    }
    postChanged();
    return outcome;
}

std::optional<std::string> Agent::phones() {
    return pairedPhonesJSON(*state_);
}

bool Agent::revoke(const std::string& phoneId) {
    const std::shared_ptr<Session> session = installedLink().session;
    if (!session) {
        return false;
    }
    const std::vector<PairedPhone> phones = state_->phones();
    if (std::none_of(phones.begin(), phones.end(),
                     [&](const PairedPhone& phone) { return phone.phoneId == phoneId; })) {
        return false;
    }
    session->revoke(phoneId);
    return true;
}

void Agent::setMonitoringPaused(bool paused) {
    bool previous = false;
    {
        const std::lock_guard held(lock_);
        config_.monitoringPaused = paused;
        previous = std::exchange(monitoringPaused_, paused);
    }
    if (previous == paused) {
        return;
    }
    try {
        saveConfig();
    } catch (const std::exception& error) {
        logError(std::string("cannot save config: ") + error.what());
    }
    if (paused) {
        // A paused agent takes no pairing: the window closes before the link goes quiet.
        cancelPairing();
    }
    applyPauseToLink();
    postChanged();
}

void Agent::applyPauseToLink() {
    // Two switches at once may get here in either order; each hands the connection the flag as it is
    // now, and one at a time, so the last one to get here leaves the link as the flag was saved last.
    const std::lock_guard applying(linkPauseLock_);
    bool paused = false;
    std::shared_ptr<Connection> connection;
    {
        const std::lock_guard held(lock_);
        paused = monitoringPaused_;
        connection = connection_;
    }
    if (!connection) {
        return;
    }
    if (paused) {
        connection->pause();
    } else {
        connection->resume();
    }
}

bool Agent::reregister() {
    bool accepted = false;
    {
        const std::lock_guard held(lock_);
        accepted = state_->phones().empty() && connection_ && !reregisterScheduled_;
        if (accepted) {
            reregisterScheduled_ = true;
        }
    }
    if (accepted) {
        log(LogLevel::info, "re-registration requested by the user (no phones paired)");
        effects_.schedule([self = shared_from_this()] { self->runScheduledReregistration(); });
    }
    return accepted;
}

std::optional<std::string> Agent::pendingPairing() {
    const std::shared_ptr<Session> session = installedLink().session;
    const auto pending = session ? session->pendingRequest() : std::nullopt;
    if (!pending) {
        return std::nullopt;
    }
    return XPCCoding::encodeOrNone(PendingPairingInfo{pending->request.requestId, pending->request.phoneName,
                                                      pending->request.sas,
                                                      millisecondsSince1970(pending->expires)});
}

} // namespace kestrava
