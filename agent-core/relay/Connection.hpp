#pragma once

#include "agent-core/control/ConnectionState.hpp"
#include "agent-core/relay/ReconnectPolicy.hpp"
#include "platform/net/WebSocket.hpp"
#include "platform/time/Timestamp.hpp"
#include "platform/url/Url.hpp"
#include "protocol-kit/AgentIn.hpp"
#include "protocol-kit/AgentOut.hpp"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace kestrava {

// The agent's one link to the relay: a WebSocket that sends AgentOut and receives AgentIn, introduces
// itself with a hello, keeps alive with text pings, notices silence and closes, and reconnects after its
// policy's delay. All of its state lives on a thread of its own ("kestrava.conn") with its own event
// loop; the operations below hand their work to that thread in call order and return at once, and the
// callbacks run there. The thread ends when the connection is destroyed.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    // The owner's answer when the relay rejects this device's credentials.
    enum class AuthRejectedAction {
        stop, // give this connection up; the owner registers again
        hold, // keep the identity and keep retrying slowly
    };

    struct Timings {
        std::chrono::milliseconds pingPeriod{20'000};
        std::chrono::milliseconds silenceLimit{60'000}; // without any inbound message, at a ping tick
        std::chrono::milliseconds pauseGoodbyeLimit{1'000};
        std::chrono::seconds openingLimit{60};
    };

    // Called on the connection's thread; they must not wait for the connection (isConnected included).
    struct Callbacks {
        std::function<void(const AgentIn&)> onMessage;
        std::function<void()> onConnected;                  // the socket received its first message
        std::function<AuthRejectedAction()> onAuthRejected; // none answers stop
        std::function<void(const ConnectionState&)> onStateChange;
    };

    static constexpr std::size_t maxInboundMessage = 1 << 20;

    // `url` is the relay WebSocket address, `token` the relay token sent as the bearer credential.
    static std::shared_ptr<Connection> create(url::Url url, std::string token, std::string macName);
    // With other timings or another starting policy (tests shrink them).
    static std::shared_ptr<Connection> create(url::Url url, std::string token, std::string macName,
                                              Timings timings, ReconnectPolicy policy);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Set before start.
    void setCallbacks(Callbacks callbacks);

    void start();
    // Monitoring paused: goodbye with reason "pause", and no socket until resume.
    void pause();
    void resume();
    // Reconnect now, replacing a working socket too.
    void kick(std::string reason);
    // Finish for good without goodbye; no callback after this.
    void stop();
    // Finish for good with a goodbye, then call `then` exactly once: when the goodbye went out or when
    // `after` passed, whichever comes first.
    void close(std::function<void()> then, std::chrono::nanoseconds after);
    // Encoded here, sent on the connection's thread; dropped while there is no socket.
    void send(const AgentOut& message);

    // Whether a socket exists and has received its first message. Waits for the connection's thread, so
    // it must not be called there (callbacks included): that throws std::logic_error.
    bool isConnected();

private:
    Connection(url::Url url, std::string token, std::string macName, Timings timings, ReconnectPolicy policy);

    void connect();
    void receiveNext(std::int64_t generation);
    void pingTick(std::int64_t generation);
    void handleReceive(std::int64_t generation, net::WebSocket::Received result);
    void handleMessage(const std::string& bytes);
    void fail(std::int64_t generation, const std::string& reason, std::optional<int> httpStatus,
              std::optional<int> closeCode);
    void scheduleReconnect(double delay, std::int64_t generation);
    void sendText(std::string text);
    // Takes the socket out of service under a new generation, so that whatever it still reports is
    // ignored; the caller ends the socket it gets back in its own way.
    std::shared_ptr<net::WebSocket> retireSocket();
    void reportState(ConnectionState state);
    // Runs `once` after `limit` on the global queue, whatever happens to the connection meanwhile.
    void runAfter(std::chrono::nanoseconds limit, std::function<void()> once);

    // Declared first so that it outlives every socket and timer below.
    std::shared_ptr<boost::asio::io_context> context_;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_;

    const url::Url url_;
    const std::string token_;
    const std::string macName_;
    const Timings timings_;

    Callbacks callbacks_;
    std::shared_ptr<net::WebSocket> socket_;
    std::int64_t generation_ = 0; // raised by every connect, failure, pause and stop
    ReconnectPolicy policy_;
    bool gotFirstMessage_ = false;
    Timestamp lastRx_;
    boost::asio::steady_timer pingTimer_;
    boost::asio::steady_timer reconnectTimer_;
    bool stopped_ = false;
    bool paused_ = false;

    std::thread thread_; // last: started once everything above exists
};

} // namespace kestrava
