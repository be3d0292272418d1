#include "agent-core/relay/Connection.hpp"

#include "agent-core/runtime/AgentVersion.hpp"
#include "agent-core/runtime/GlobalQueue.hpp"
#include "agent-core/runtime/Log.hpp"
#include "agent-core/runtime/Once.hpp"
#include "agent-core/runtime/Sanitize.hpp"
#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"
#include "platform/net/TlsThread.hpp"

#include <boost/asio/post.hpp>

#include <cmath>
#include <exception>
#include <future>
#include <pthread.h>
#include <stdexcept>
#include <utility>

namespace kestrava {
namespace {

constexpr std::size_t maxLoggedRelayText = 80;
constexpr int goingAway = 1001;
constexpr int abnormalClosure = 1006;

// Logs the failure being handled; called only from a catch block. A failure may carry relay text.
void logCaughtFailure() noexcept {
    try {
        try {
            throw;
        } catch (const std::exception& error) {
            logError("relay connection: " + sanitize(error.what(), maxLoggedRelayText));
        } catch (...) {
            logError("relay connection: unknown failure");
        }
    } catch (...) {
        // Not even the line could be made.
    }
}

// Calls one of the owner's callbacks: a failure in it is logged and ends nothing of the connection's.
template<class Callback, class... Args>
void callOwner(const Callback& callback, const Args&... args) {
    if (!callback) {
        return;
    }
    try {
        callback(args...);
    } catch (...) {
        logCaughtFailure();
    }
}

// A handler that runs `work` on the connection if it still exists, and never lets a failure escape into
// the event loop.
template<class Work>
auto onConnection(std::weak_ptr<Connection> weak, Work work) {
    return [weak = std::move(weak), work = std::move(work)](auto&&... args) mutable {
        const std::shared_ptr<Connection> self = weak.lock();
        if (!self) {
            return;
        }
        try {
            work(*self, std::forward<decltype(args)>(args)...);
        } catch (...) {
            logCaughtFailure();
        }
    };
}

// The relay's JSON form of an outbound message; nothing when it holds text that is not UTF-8.
std::optional<std::string> encoded(const AgentOut& message) {
    try {
        return json::write(message.encode(), {});
    } catch (const json::EncodeError&) {
        return std::nullopt;
    }
}

void ignoreResult(std::optional<std::string>) {}

void runLoop(const std::shared_ptr<boost::asio::io_context>& context) {
    pthread_setname_np(pthread_self(), "kestrava.conn");
    // A failure that escaped a handler ends only that handler; the loop goes on.
    while (true) {
        try {
            context->run();
            return;
        } catch (...) {
            logCaughtFailure();
        }
    }
}

} // namespace

std::shared_ptr<Connection> Connection::create(url::Url url, std::string token, std::string macName) {
    return create(std::move(url), std::move(token), std::move(macName), Timings{}, ReconnectPolicy{});
}

std::shared_ptr<Connection> Connection::create(url::Url url, std::string token, std::string macName,
                                               Timings timings, ReconnectPolicy policy) {
    return std::shared_ptr<Connection>(
        new Connection(std::move(url), std::move(token), std::move(macName), timings, std::move(policy)));
}

Connection::Connection(url::Url url, std::string token, std::string macName, Timings timings,
                       ReconnectPolicy policy)
    : context_(std::make_shared<boost::asio::io_context>(1)), work_(context_->get_executor()),
      url_(std::move(url)), token_(std::move(token)), macName_(std::move(macName)), timings_(timings),
      policy_(std::move(policy)), lastRx_(wallClockNow()), pingTimer_(*context_), reconnectTimer_(*context_),
      thread_(net::startTlsThread([context = context_] { runLoop(context); })) {}

Connection::~Connection() {
    context_->stop();
    // The last owner may let go inside one of the connection's own handlers; the thread then finishes
    // that handler and ends by itself, keeping the event loop alive until it does.
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

void Connection::setCallbacks(Callbacks callbacks) {
    boost::asio::post(*context_, onConnection(weak_from_this(),
                                              [callbacks = std::move(callbacks)](Connection& self) mutable {
                                                  self.callbacks_ = std::move(callbacks);
                                              }));
}

void Connection::start() {
    boost::asio::post(*context_, onConnection(weak_from_this(), [](Connection& self) { self.connect(); }));
}

void Connection::pause() {
    boost::asio::post(*context_, onConnection(weak_from_this(), [](Connection& self) {
        if (self.stopped_ || self.paused_) {
            return;
        }
        self.paused_ = true;
        const std::shared_ptr<net::WebSocket> socket = self.retireSocket();
        log(LogLevel::info, "monitoring paused");
        if (!socket) {
            return;
        }
        const auto goodbye = encoded(AgentOut{AgentOut::Goodbye{"pause"}});
        if (!goodbye) {
            socket->cancel(goingAway);
            return;
        }
        // Closed when the goodbye has gone out or when the limit passes, whichever is first. The limit
        // runs on the global queue, and the socket is touched only on this thread.
        const auto once = std::make_shared<Once>([context = self.context_, socket] {
            boost::asio::post(*context, [socket] { socket->cancel(goingAway); });
        });
        socket->send(*goodbye, [once](std::optional<std::string>) { once->run(); });
        self.runAfter(self.timings_.pauseGoodbyeLimit, [once] { once->run(); });
    }));
}

void Connection::resume() {
    boost::asio::post(*context_, onConnection(weak_from_this(), [](Connection& self) {
        if (self.stopped_ || !self.paused_) {
            return;
        }
        self.paused_ = false;
        log(LogLevel::info, "monitoring resumed");
        self.policy_.resetForManualReconnect(wallClockNow());
        self.connect();
    }));
}

void Connection::kick(std::string reason) {
    boost::asio::post(*context_,
                      onConnection(weak_from_this(), [reason = std::move(reason)](Connection& self) {
                          if (self.stopped_ || self.paused_) {
                              return;
                          }
                          log(LogLevel::info, "reconnect now: " + reason);
                          self.policy_.resetForManualReconnect(wallClockNow());
                          self.connect();
                      }));
}

void Connection::stop() {
    boost::asio::post(*context_, onConnection(weak_from_this(), [](Connection& self) {
        self.stopped_ = true;
        if (const auto socket = self.retireSocket()) {
            socket->cancel(goingAway);
        }
        self.callbacks_ = {};
    }));
}

void Connection::close(std::function<void()> then, std::chrono::nanoseconds after) {
    // Held strongly until it has run, so that the completion comes even if the owner lets go at once.
    boost::asio::post(*context_, [self = shared_from_this(), then = std::move(then), after] {
        self->stopped_ = true;
        self->pingTimer_.cancel();
        if (!self->socket_) {
            then();
            return;
        }
        const auto goodbye = encoded(AgentOut{AgentOut::Goodbye{}});
        if (!goodbye) {
            then();
            return;
        }
        const auto once = std::make_shared<Once>(then);
        self->socket_->send(*goodbye,
                            [weak = std::weak_ptr(self->socket_), once](std::optional<std::string>) {
                                if (const auto socket = weak.lock()) {
                                    socket->cancel(goingAway);
                                }
                                once->run();
                            });
        self->runAfter(after, [once] { once->run(); });
    });
}

void Connection::send(const AgentOut& message) {
    auto text = encoded(message);
    if (!text) {
        return;
    }
    boost::asio::post(*context_,
                      onConnection(weak_from_this(), [text = std::move(*text)](Connection& self) mutable {
                          self.sendText(std::move(text));
                      }));
}

bool Connection::isConnected() {
    if (std::this_thread::get_id() == thread_.get_id()) {
        throw std::logic_error("Connection::isConnected called on the connection's own thread");
    }
    std::promise<bool> answer;
    // The caller holds the connection for as long as it waits here.
    boost::asio::post(*context_,
                      [this, &answer] { answer.set_value(socket_ != nullptr && gotFirstMessage_); });
    return answer.get_future().get();
}

void Connection::connect() {
    if (stopped_ || paused_) {
        return;
    }
    if (const auto replaced = retireSocket()) {
        replaced->cancel(goingAway);
    }
    const std::int64_t generation = generation_;
    lastRx_ = wallClockNow();

    socket_ =
        net::WebSocket::create(*context_, url_, {{"Authorization", "Bearer " + token_}, {"x-kv-v", "1"}},
                               maxInboundMessage, timings_.openingLimit);
    socket_->resume();
    log(LogLevel::info, "connecting to " + url_.host().value_or("?"));

    // Handed over before the socket is open: it sends them once it is, or fails them with itself.
    if (const auto hello = encoded(AgentOut{AgentOut::Hello{1, agentVersion(), macName_}})) {
        socket_->send(*hello, ignoreResult);
    }
    socket_->send("ping", ignoreResult);
    receiveNext(generation);

    pingTimer_.expires_after(timings_.pingPeriod);
    pingTimer_.async_wait(
        onConnection(weak_from_this(), [generation](Connection& self, boost::system::error_code error) {
            if (!error) {
                self.pingTick(generation);
            }
        }));
}

void Connection::receiveNext(std::int64_t generation) {
    socket_->receive(
        onConnection(weak_from_this(), [generation](Connection& self, net::WebSocket::Received result) {
            self.handleReceive(generation, std::move(result));
        }));
}

void Connection::pingTick(std::int64_t generation) {
    if (generation != generation_ || !socket_) {
        return;
    }
    if (wallClockNow() - lastRx_ > timings_.silenceLimit) {
        const auto limit = std::chrono::duration_cast<std::chrono::seconds>(timings_.silenceLimit).count();
        fail(generation, "no pong for " + std::to_string(limit) + "s", std::nullopt, std::nullopt);
        return;
    }
    socket_->send("ping", ignoreResult);
    // From the previous deadline, so that the ticks do not drift.
    pingTimer_.expires_at(pingTimer_.expiry() + timings_.pingPeriod);
    pingTimer_.async_wait(
        onConnection(weak_from_this(), [generation](Connection& self, boost::system::error_code error) {
            if (!error) {
                self.pingTick(generation);
            }
        }));
}

void Connection::handleReceive(std::int64_t generation, net::WebSocket::Received result) {
    if (generation != generation_ || stopped_ || paused_) {
        return;
    }
    if (!result.message) {
        std::optional<int> httpStatus = socket_->handshakeStatus();
        if (httpStatus == 101) {
            httpStatus.reset();
        }
        std::optional<int> closeCode;
        if (const int code = socket_->closeCode(); code != 0) {
            closeCode = code;
        }
        const std::string reason = httpStatus  ? "HTTP " + std::to_string(*httpStatus)
                                   : closeCode ? "close " + std::to_string(*closeCode)
                                               : sanitize(result.error, maxLoggedRelayText);
        fail(generation, reason, httpStatus, closeCode);
        return;
    }

    const Timestamp now = wallClockNow();
    lastRx_ = now;
    if (!gotFirstMessage_) {
        gotFirstMessage_ = true;
        policy_.onOpen(now);
        log(LogLevel::info, "connected");
        reportState(ConnectionState{ConnectionState::Connected{}});
        callOwner(callbacks_.onConnected);
    }
    const net::WebSocket::Message& message = *result.message;
    if (!message.isText || message.data != "pong") {
        handleMessage(message.data);
    }
    // One message at a time: the next is asked for only now.
    receiveNext(generation);
}

void Connection::handleMessage(const std::string& bytes) {
    if (!callbacks_.onMessage) {
        return;
    }
    std::optional<AgentIn> message;
    try {
        message = AgentIn::decode(json::ObjectReader(json::parse(bytes)));
    } catch (const json::DecodeError&) {
        log(LogLevel::info, "ignored undecodable message (" + std::to_string(bytes.size()) + " bytes)");
        return;
    }
    callOwner(callbacks_.onMessage, *message);
}

void Connection::fail(std::int64_t generation, const std::string& reason, std::optional<int> httpStatus,
                      std::optional<int> closeCode) {
    if (generation != generation_ || stopped_ || paused_) {
        return;
    }
    // The stream is dropped without a close frame: 1006 may not go on the wire.
    if (const auto socket = retireSocket()) {
        socket->cancel(abnormalClosure);
    }
    const std::int64_t next = generation_;

    const Timestamp now = wallClockNow();
    if (const auto retry = policy_.onClose(httpStatus, closeCode, reason, now)) {
        log(closeCode == ReconnectPolicy::replacedCloseCode ? LogLevel::error : LogLevel::info, retry->text);
        if (policy_.holdingAtCap) {
            reportState(ConnectionState{ConnectionState::IdentityConflict{}});
        } else {
            reportState(ConnectionState{
                ConnectionState::Reconnecting{static_cast<std::int64_t>(std::ceil(retry->delay))}});
        }
        scheduleReconnect(retry->delay, next);
        return;
    }

    AuthRejectedAction action = AuthRejectedAction::stop;
    if (callbacks_.onAuthRejected) {
        try {
            action = callbacks_.onAuthRejected();
        } catch (...) {
            // Without an answer the identity is kept: holding only retries slowly.
            logCaughtFailure();
            action = AuthRejectedAction::hold;
        }
    }
    if (action == AuthRejectedAction::stop) {
        reportState(ConnectionState{ConnectionState::Reconnecting{0}});
        log(LogLevel::info,
            "relay rejected this device (" + reason + "); stopping this connection for re-registration");
        stopped_ = true;
        return;
    }
    reportState(ConnectionState{ConnectionState::RemovedByRelay{}});
    const ReconnectPolicy::RemovedRetry retry = policy_.onRemoved(now);
    if (retry.text) {
        logError(*retry.text + " (" + reason + ")");
    }
    scheduleReconnect(retry.delay, next);
}

void Connection::scheduleReconnect(double delay, std::int64_t generation) {
    reconnectTimer_.expires_after(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(delay)));
    reconnectTimer_.async_wait(
        onConnection(weak_from_this(), [generation](Connection& self, boost::system::error_code error) {
            if (!error && generation == self.generation_ && !self.socket_) {
                self.connect();
            }
        }));
}

void Connection::sendText(std::string text) {
    if (!socket_) {
        return;
    }
    socket_->send(std::move(text), [](std::optional<std::string> error) {
        if (error) {
            logError("send failed: " + sanitize(*error, maxLoggedRelayText));
        }
    });
}

std::shared_ptr<net::WebSocket> Connection::retireSocket() {
    ++generation_;
    pingTimer_.cancel();
    gotFirstMessage_ = false;
    return std::exchange(socket_, nullptr);
}

void Connection::reportState(ConnectionState state) {
    callOwner(callbacks_.onStateChange, state);
}

void Connection::runAfter(std::chrono::nanoseconds limit, std::function<void()> once) {
    const auto timer = std::make_shared<boost::asio::steady_timer>(globalQueue(), limit);
    timer->async_wait([timer, once = std::move(once)](boost::system::error_code) {
        // Nothing may escape into the global queue.
        try {
            once();
        } catch (...) {
            logCaughtFailure();
        }
    });
}

} // namespace kestrava
