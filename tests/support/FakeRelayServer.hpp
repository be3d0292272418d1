#pragma once

#include "tests/support/FakeRelay.hpp"
#include "tests/support/TestCertificateAuthority.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

// Internal to the fake relay: its server, in two halves that compile apart: connections and HTTP
// (FakeRelayServer.cpp) and the agent's WebSocket (FakeRelaySockets.cpp).
namespace kestrava::test::relay {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

inline constexpr auto step = asio::as_tuple(asio::use_awaitable);

using Request = http::request<http::string_body>;

// Something the test asked the relay to do on a socket, done in call order.
struct Control {
    enum class Kind { text, binary, rawFrame, close, drop };
    Kind kind = Kind::text;
    std::string data;
    std::optional<int> closeCode;
};

// One TCP connection: HTTPS first, a WebSocket once an upgrade was accepted.
struct Link {
    Link(tcp::socket socket, asio::ssl::context& tls) : stream(std::move(socket), tls) {}

    websocket::stream<beast::ssl_stream<beast::tcp_stream>> stream;
    std::size_t number = 0; // the accepted socket's number
    bool ended = false;     // guarded by the relay's mutex
    std::deque<Control> controls;
    bool busy = false; // a control is under way
};

RelayRequest recorded(const Request& request);

// The answer for the next request: scripted answers in order, the last one repeated.
template<typename Answer>
Answer nextAnswer(const std::vector<Answer>& script, std::size_t& used) {
    const Answer answer = script.empty() ? Answer{} : script[std::min(used, script.size() - 1)];
    ++used;
    return answer;
}

class Server {
public:
    explicit Server(const TestCertificateAuthority& authority);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    template<typename Predicate>
    bool waitUntil(std::chrono::milliseconds limit, Predicate done) const {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, done);
    }

    // Runs `work` under the lock, then wakes every waiter.
    template<typename Work>
    auto change(Work work) {
        std::unique_lock lock(mutex);
        if constexpr (std::is_void_v<decltype(work())>) {
            work();
            lock.unlock();
            changed.notify_all();
        } else {
            auto result = work();
            lock.unlock();
            changed.notify_all();
            return result;
        }
    }

    // Done on the most recently accepted socket, unless it has ended.
    void control(Control control);

    // Destroyed in reverse: the sockets before the event loop, the event loop before the TLS settings.
    asio::ssl::context tls;
    asio::io_context context;
    tcp::acceptor acceptor{context};
    std::uint16_t port = 0;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<RegistrationAnswer> registrationScript{RegistrationAnswer{}};
    std::size_t registrationAnswersUsed = 0;
    std::vector<RelayRequest> registrations;
    std::vector<UpgradeAnswer> upgradeScript{UpgradeAnswer::accept()};
    std::size_t upgradeAnswersUsed = 0;
    std::vector<RelayRequest> upgrades;
    bool answersPings = true;
    std::vector<std::shared_ptr<Link>> sockets;
    std::vector<RelayFrame> frames;

    std::vector<std::shared_ptr<Link>> unanswered; // relay thread only
    std::thread thread;

private:
    // Connections and HTTP.
    asio::awaitable<void> acceptConnections();
    asio::awaitable<void> serve(std::shared_ptr<Link> link);
    asio::awaitable<void> serveRegistration(std::shared_ptr<Link> link, const Request& request);
    asio::awaitable<void> respond(Link& link, int status, std::string body);

    // The agent's WebSocket.
    asio::awaitable<void> serveSocket(std::shared_ptr<Link> link, const Request& request);
    asio::awaitable<void> readFrames(std::shared_ptr<Link> link);
    // Starts the next control unless one is under way.
    void runControls(const std::shared_ptr<Link>& link);
};

} // namespace kestrava::test::relay
