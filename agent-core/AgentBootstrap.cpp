// The agent's bootstrap, its run-time triggers and re-registration.
#include "agent-core/Agent.hpp"
#include "agent-core/control/ChangeNotifications.hpp"
#include "agent-core/relay/Backoff.hpp"
#include "agent-core/relay/ConnectionBox.hpp"
#include "agent-core/relay/Registration.hpp"
#include "agent-core/relay/RelayURL.hpp"
#include "agent-core/runtime/GlobalQueue.hpp"
#include "agent-core/runtime/Log.hpp"
#include "agent-core/runtime/Sanitize.hpp"
#include "agent-core/state/StateStore.hpp"
#include "agent-core/state/SystemKeychain.hpp"

#include <boost/asio/post.hpp>

#include <thread>

namespace kestrava {
namespace {

// The time a pending pairing request is given past its end before it is declined.
constexpr std::chrono::milliseconds pendingExpirySlack{500};

} // namespace

void Agent::bootstrap(std::optional<std::string> token) {
    Backoff backoff{.base = 1.0, .cap = 30.0, .jitter = 0.2};
    Config config = liveConfig();
    while (!config.deviceId || !token) {
        try {
            token = registerDevice(config);
            config = liveConfig();
        } catch (const std::exception& error) {
            const double delay = backoff.nextDelay();
            logError(std::string("registration failed (") + error.what() + "); retry in " +
                     std::to_string(static_cast<std::int64_t>(delay)) + "s");
            setLinkState(
                ConnectionState{ConnectionState::Error{std::string("registration failed: ") + error.what()}});
            std::this_thread::sleep_for(
                std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(delay)));
        }
    }

    const auto box = std::make_shared<ConnectionBox>();
    const std::shared_ptr<Session> session = buildSession(config, box);
    const std::shared_ptr<Connection> connection = buildConnection(config, *token, session);
    box->put(connection);
    session->setOnPhonesChanged([weak = weak_from_this()] {
        if (weak.lock()) {
            postChanged();
        }
    });
    const bool first = install(session, connection);
    // Before the start, so that a paused agent never opens a socket.
    applyPauseToLink();
    connection->start();
    postChanged();
    if (first) {
        startTriggers();
    }
}

std::string Agent::registerDevice(const Config& config) {
    Registration::Response registered = Registration::registerDevice(config.backendURL, config.macName);
    if (!SystemKeychain().write(agentTokenAccount, bytesOf(registered.agentToken))) {
        logError("cannot store agentToken in Keychain");
        process::terminate(1);
    }
    // Only the device id changes: settings the user changed meanwhile stay as they are.
    std::optional<std::string> previous;
    {
        const std::lock_guard held(lock_);
        previous = std::exchange(config_.deviceId, registered.deviceId);
    }
    try {
        saveConfig();
    } catch (...) {
        const std::lock_guard held(lock_);
        config_.deviceId = previous;
        throw;
    }
    log(LogLevel::info, "registered device " + sanitize(registered.deviceId, 80));
    return std::move(registered.agentToken);
}

std::shared_ptr<Session> Agent::buildSession(const Config& config, std::shared_ptr<ConnectionBox> box) {
    auto session = std::make_shared<Session>(
        config.deviceId.value(), macKey_, state_, executor_, config.backendURL, config.macName,
        [weak = weak_from_this()] {
            const auto agent = weak.lock();
            return agent ? agent->statusSnapshot() : StatusSnapshot{};
        },
        [box = std::move(box)](const AgentOut& message) { box->send(message); });
    session->setOnPairingRequest([weak = weak_from_this()](const PendingPairing& request) {
        if (const auto agent = weak.lock()) {
            agent->pairingRequested(request);
        }
    });
    return session;
}

std::shared_ptr<Connection> Agent::buildConnection(const Config& config, const std::string& token,
                                                   std::shared_ptr<Session> session) {
    auto connection = Connection::create(relayWebSocketURL(config.backendURL, config.deviceId.value()), token,
                                         config.macName);
    Connection::Callbacks callbacks;
    callbacks.onMessage = [session](const AgentIn& message) {
        // A job starts its command and returns at once.
        if (const auto job = session->handle(message)) {
            (*job)();
        }
    };
    callbacks.onConnected = [session] {
        runLater(std::chrono::nanoseconds(0), [session] {
            session->resendQueuedRevokes();
            session->pushStatus(session->statusProvider()());
        });
    };
    callbacks.onAuthRejected = [weak = weak_from_this()] {
        const auto agent = weak.lock();
        return agent ? agent->onAuthRejected() : Connection::AuthRejectedAction::hold;
    };
    callbacks.onStateChange = [weak = weak_from_this()](const ConnectionState& state) {
        if (const auto agent = weak.lock()) {
            agent->setLinkState(state);
        }
    };
    connection->setCallbacks(std::move(callbacks));
    return connection;
}

bool Agent::install(std::shared_ptr<Session> session, std::shared_ptr<Connection> connection) {
    const std::lock_guard held(lock_);
    session_ = std::move(session);
    connection_ = std::move(connection);
    return !std::exchange(triggersStarted_, true);
}

void Agent::startTriggers() {
    wakeWatch_ = std::make_unique<power::WakeWatch>([weak = weak_from_this(), &mainContext = mainContext_] {
        boost::asio::post(mainContext, [weak] {
            if (const auto agent = weak.lock()) {
                agent->didWake();
            }
        });
    });
    wakeWatch_->start();
    pathMonitor_ = std::make_unique<net::NetworkPathMonitor>([weak = weak_from_this()](bool satisfied) {
        if (const auto agent = weak.lock()) {
            agent->pathChanged(satisfied);
        }
    });
    pathMonitor_->start();
    statusTimer_ = std::make_unique<boost::asio::steady_timer>(globalQueue(), statusTimerPeriod);
    armStatusTimer();
}

void Agent::armStatusTimer() {
    statusTimer_->async_wait([weak = weak_from_this()](const boost::system::error_code& error) {
        const auto agent = weak.lock();
        if (error || !agent) {
            return;
        }
        agent->statusTimerFired();
        // From the previous deadline, so that the timer does not drift.
        agent->statusTimer_->expires_at(agent->statusTimer_->expiry() + statusTimerPeriod);
        agent->armStatusTimer();
    });
}

void Agent::setLinkState(const ConnectionState& state) {
    {
        const std::lock_guard held(lock_);
        linkState_ = state;
    }
    postChanged();
}

void Agent::didWake() {
    powerGuard_.update();
    if (const Link link = installedLink()) {
        link.connection->kick("wake");
    }
}

void Agent::pathChanged(bool satisfied) {
    std::shared_ptr<Connection> connection;
    {
        const std::lock_guard held(lock_);
        if (networkReturn_.report(satisfied) && session_) {
            connection = connection_;
        }
    }
    if (connection) {
        connection->kick("network back");
    }
}

void Agent::statusTimerFired() {
    if (const Link link = installedLink()) {
        refreshStatusIfConnected(link.connection, link.session);
    }
}

void Agent::refreshStatusIfConnected(const std::shared_ptr<Connection>& connection,
                                     const std::shared_ptr<Session>& session) {
    if (connection->isConnected()) {
        session->refreshStatus();
    }
}

void Agent::pairingRequested(const PendingPairing& request) {
    const std::shared_ptr<Session> session = installedLink().session;
    if (!session) {
        return;
    }
    const auto pending = session->pendingRequest();
    if (!pending) {
        return;
    }
    const auto left = std::max(pending->expires - wallClockNow(), Timestamp::duration::zero());
    runLater(left + pendingExpirySlack, [weak = weak_from_this(), session, requestId = request.requestId] {
        const auto stillPending = session->pendingRequest();
        if (!stillPending || stillPending->request.requestId != requestId) {
            return;
        }
        session->decide(requestId, false);
        if (weak.lock()) {
            postChanged();
        }
    });
    postPairingRequest();
    postChanged();
}

Connection::AuthRejectedAction Agent::onAuthRejected() {
    std::optional<Detached> detached;
    {
        const std::lock_guard held(lock_);
        detached = takeForReregistration();
    }
    if (!detached) {
        return Connection::AuthRejectedAction::hold;
    }
    runLater(std::chrono::nanoseconds(0), [self = shared_from_this(), detached = std::move(*detached)] {
        logError("relay no longer knows this device and no phones are paired: registering a new device");
        self->performReregistration(detached);
    });
    return Connection::AuthRejectedAction::stop;
}

std::optional<Agent::Detached> Agent::takeForReregistration() {
    reregisterScheduled_ = false;
    if (!state_->phones().empty() || !connection_) {
        return std::nullopt;
    }
    session_.reset();
    return Detached{std::exchange(connection_, nullptr)};
}

void Agent::performReregistration(Detached detached) {
    detached.connection->stop();
    effects_.wipeIdentity(*this);
    setLinkState(ConnectionState{ConnectionState::Reconnecting{0}});
    effects_.bootstrap(*this);
}

void Agent::runScheduledReregistration() {
    std::optional<Detached> detached;
    {
        const std::lock_guard held(lock_);
        detached = takeForReregistration();
    }
    if (detached) {
        performReregistration(std::move(*detached));
        return;
    }
    log(LogLevel::info,
        "re-registration aborted: a phone is paired now (or registration is already running); identity kept");
    postChanged();
}

} // namespace kestrava
