#include "app/link/AgentClient.hpp"

#include "agent-core/control/XPCCoding.hpp"
#include "app/async/OneShot.hpp"
#include "app/async/Sleep.hpp"

#include <algorithm>
#include <cmath>
#include <exception>

namespace kestrava::app {
namespace {

constexpr std::size_t eventsKept = 8;

} // namespace

std::shared_ptr<AgentClient> AgentClient::make(std::shared_ptr<AgentXPCTransport> transport,
                                               std::shared_ptr<AgentNotificationSource> notifications,
                                               Scheduler& scheduler) {
    std::shared_ptr<AgentClient> client(
        new AgentClient(std::move(transport), std::move(notifications), scheduler));
    client->notifications_->subscribe([weak = client->weak_from_this()](AgentEvent event) {
        if (const auto self = weak.lock()) {
            self->enqueue(event);
        }
    });
    return client;
}

AgentClient::AgentClient(std::shared_ptr<AgentXPCTransport> transport,
                         std::shared_ptr<AgentNotificationSource> notifications, Scheduler& scheduler)
    : transport_(std::move(transport)), notifications_(std::move(notifications)), scheduler_(scheduler),
      events_(std::make_shared<BoundedChannel<AgentEvent>>(scheduler, eventsKept)) {}

AgentClient::~AgentClient() {
    notifications_->unsubscribeAll();
    events_->finish();
    if (connection_) {
        connection_->invalidate();
    }
}

AgentClient::Duration AgentClient::backoff(int failures) {
    if (failures < 1) {
        return Duration::zero();
    }
    const double multiplier = failures > 11 ? 1024.0 : std::exp2(failures - 1);
    const auto delay = std::chrono::duration<double>(0.5 * multiplier);
    return std::chrono::duration_cast<Duration>(std::min(delay, std::chrono::duration<double>(5.0)));
}

QCoro::Task<AgentClient::Live> AgentClient::connect() {
    if (connection_) {
        co_return Live{connection_, generation_};
    }
    if (failures_ >= 1) {
        // Other calls run meanwhile; one of them may have connected.
        const Duration delay = backoff(failures_);
        co_await sleepFor(scheduler_, delay);
        if (connection_) {
            co_return Live{connection_, generation_};
        }
    }
    const int generation = ++generation_;
    const auto dropper = [weak = weak_from_this(), generation] {
        if (const auto self = weak.lock()) {
            self->drop(generation);
        }
    };
    connection_ = transport_->makeConnection(dropper, dropper);
    co_return Live{connection_, generation};
}

void AgentClient::drop(int generation) {
    if (generation != generation_ || !connection_) {
        return;
    }
    ++failures_;
    std::exchange(connection_, nullptr)->invalidate();
}

template<class T, class Send>
QCoro::Task<AgentResult<T>> AgentClient::call(Send send) {
    auto carried = callOn<T>(send);
    auto done = co_await carried;
    co_return std::move(done.reply);
}

template<class T, class Send>
QCoro::Task<AgentClient::Carried<AgentResult<T>>> AgentClient::callOn(Send send) {
    const auto self = shared_from_this();
    const Live live = co_await connect();
    const auto once = std::make_shared<OneShot<AgentResult<T>>>(scheduler_);
    const auto proxy = live.connection->proxy(
        [once](const std::string& description) { once->resolve(AgentClientError::connection(description)); });
    if (!proxy) {
        once->resolve(AgentClientError::unavailable());
    } else {
        once->setTimer(scheduler_.after(timeout, [once] { once->resolve(AgentClientError::timeout()); }));
        send(*proxy, [once](T value) { once->resolve(std::move(value)); });
    }
    AgentResult<T> result = co_await *once;
    if (result.ok()) {
        failures_ = 0;
    } else if (result.error().kind != AgentClientError::Kind::timeout ||
               live.connection->hasUnwrittenRequests()) {
        // A slow agent keeps its connection; one that no longer reads what it is sent, and any other
        // failure, end it.
        drop(live.generation);
    }
    co_return Carried<AgentResult<T>>{std::move(result), live.generation};
}

template<class Send>
QCoro::Task<AgentResult<void>> AgentClient::sendWithoutReply(Send send) {
    const auto self = shared_from_this();
    const Live live = co_await connect();
    const auto proxy =
        live.connection->proxy([weak = weak_from_this(), generation = live.generation](const std::string&) {
            if (const auto client = weak.lock()) {
                client->drop(generation);
            }
        });
    if (!proxy) {
        drop(live.generation);
        co_return AgentClientError::unavailable();
    }
    send(*proxy);
    co_return AgentResult<void>{};
}

template<class T>
AgentResult<T> AgentClient::decoded(const AgentResult<std::optional<std::string>>& reply) {
    if (!reply) {
        return reply.error();
    }
    if (!reply.value()) {
        return AgentClientError::badReply();
    }
    try {
        return XPCCoding::decode<T>(*reply.value());
    } catch (const std::exception&) {
        return AgentClientError::badReply();
    }
}

// GCC 12 destroys some temporaries of a full-expression that holds a `co_await` twice (a coroutine's
// argument built inside it, among them): the coroutines below keep what they hand to `call` and what it
// returns in named variables.

QCoro::Task<AgentResult<AgentStatus>> AgentClient::status() {
    const auto send = [](AgentXPCProtocol& agent, auto reply) { agent.statusWithReply(std::move(reply)); };
    const auto reply = co_await call<AgentXPCProtocol::Data>(send);
    co_return decoded<AgentStatus>(reply);
}

QCoro::Task<AgentResult<AgentClient::PairingWindow>> AgentClient::openPairing() {
    using Opened = std::pair<std::optional<std::string>, double>;
    const auto send = [](AgentXPCProtocol& agent, auto reply) {
        agent.openPairingWithReply(
            [reply = std::move(reply)](std::optional<std::string> link, double expiry) {
                reply(Opened{std::move(link), expiry});
            });
    };
    auto carried = callOn<Opened>(send);
    const auto opened = co_await carried;
    const AgentResult<Opened>& reply = opened.reply;
    if (!reply) {
        co_return reply.error();
    }
    const auto& [link, expiry] = reply.value();
    if (!link) {
        co_return AgentClientError::unavailable();
    }
    // A date the clock cannot hold (beyond about 292 years either way) is no answer.
    if (!(std::abs(expiry) < 9.2e15)) {
        co_return AgentClientError::badReply();
    }
    const auto sinceEpoch = std::chrono::duration<double, std::milli>(expiry);
    co_return PairingWindow{*link, Timestamp(std::chrono::duration_cast<Timestamp::duration>(sinceEpoch)),
                            opened.connection};
}

QCoro::Task<AgentResult<void>> AgentClient::cancelPairing() {
    return sendWithoutReply([](AgentXPCProtocol& agent) { agent.cancelPairing(); });
}

QCoro::Task<AgentResult<PairingOutcome>> AgentClient::decide(std::string requestId, bool approve) {
    const auto send = [requestId, approve](AgentXPCProtocol& agent, auto reply) {
        agent.decideWithRequestId(requestId, approve, std::move(reply));
    };
    const auto reply = co_await call<AgentXPCProtocol::Data>(send);
    co_return decoded<PairingOutcome>(reply);
}

QCoro::Task<AgentResult<std::vector<PhoneInfo>>> AgentClient::phones() {
    const auto send = [](AgentXPCProtocol& agent, auto reply) { agent.phonesWithReply(std::move(reply)); };
    const auto reply = co_await call<AgentXPCProtocol::Data>(send);
    co_return decoded<std::vector<PhoneInfo>>(reply);
}

QCoro::Task<AgentResult<bool>> AgentClient::revoke(std::string phoneId) {
    return call<bool>([phoneId = std::move(phoneId)](AgentXPCProtocol& agent, auto reply) {
        agent.revokeWithPhoneId(phoneId, std::move(reply));
    });
}

QCoro::Task<AgentResult<void>> AgentClient::setMonitoringPaused(bool paused) {
    return sendWithoutReply([paused](AgentXPCProtocol& agent) { agent.setMonitoringPaused(paused); });
}

QCoro::Task<AgentResult<bool>> AgentClient::reregister() {
    return call<bool>(
        [](AgentXPCProtocol& agent, auto reply) { agent.reregisterWithReply(std::move(reply)); });
}

QCoro::Task<AgentResult<bool>> AgentClient::hasFullDiskAccess() {
    return call<bool>(
        [](AgentXPCProtocol& agent, auto reply) { agent.hasFullDiskAccessWithReply(std::move(reply)); });
}

QCoro::Task<AgentResult<std::optional<PendingPairingInfo>>> AgentClient::pendingPairing() {
    const auto send = [](AgentXPCProtocol& agent, auto reply) {
        agent.pendingPairingWithReply(std::move(reply));
    };
    const auto reply = co_await call<AgentXPCProtocol::Data>(send);
    if (reply && !reply.value()) {
        co_return std::optional<PendingPairingInfo>();
    }
    const auto pending = decoded<PendingPairingInfo>(reply);
    if (!pending) {
        co_return pending.error();
    }
    co_return std::optional<PendingPairingInfo>(pending.value());
}

void AgentClient::enqueue(AgentEvent event) {
    if (std::find(pendingEvents_.begin(), pendingEvents_.end(), event) == pendingEvents_.end()) {
        pendingEvents_.push_back(event);
    }
    // Each event pushes the delivery back; the timer holds the client weakly, so ending it ends the wait.
    debounceTimer_ = scheduler_.after(debounce, [weak = weak_from_this()] {
        if (const auto self = weak.lock()) {
            self->flush();
        }
    });
}

void AgentClient::flush() {
    const auto pending = std::exchange(pendingEvents_, {});
    for (const AgentEvent event : {AgentEvent::pairingRequest, AgentEvent::changed}) {
        if (std::find(pending.begin(), pending.end(), event) != pending.end()) {
            events_->yield(event);
        }
    }
}

} // namespace kestrava::app
