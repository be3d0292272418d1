#include "tests/support/FakeRelay.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <type_traits>

namespace kestrava::test {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

constexpr auto step = asio::as_tuple(asio::use_awaitable);

using Request = http::request<http::string_body>;

// Something the test asked the relay to do on a socket, done in call order.
struct Control {
    enum class Kind { text, binary, close, drop };
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

RelayRequest recorded(const Request& request) {
    RelayRequest record{
        std::string(request.method_string()), std::string(request.target()), {}, request.body()};
    for (const auto& field : request) {
        record.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    return record;
}

// The answer for the next request: scripted answers in order, the last one repeated.
template<typename Answer>
Answer nextAnswer(const std::vector<Answer>& script, std::size_t& used) {
    const Answer answer = script.empty() ? Answer{} : script[std::min(used, script.size() - 1)];
    ++used;
    return answer;
}

void reportFailure(std::exception_ptr failure) {
    if (!failure) {
        return;
    }
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        ADD_FAILURE() << "fake relay: " << error.what();
    }
}

} // namespace

class FakeRelay::Server {
public:
    explicit Server(const TestCertificateAuthority& authority) : tls(asio::ssl::context::tls_server) {
        SSL_CTX_set_min_proto_version(tls.native_handle(), TLS1_2_VERSION);
        tls.use_certificate_chain(asio::buffer(authority.serverCertificatePem()));
        tls.use_private_key(asio::buffer(authority.serverKeyPem()), asio::ssl::context::pem);
        acceptor.open(tcp::v4());
        acceptor.bind({asio::ip::make_address_v4("127.0.0.1"), 0});
        acceptor.listen();
        port = acceptor.local_endpoint().port();
        asio::co_spawn(context, acceptConnections(), reportFailure);
        thread = std::thread([this] { context.run(); });
    }

    ~Server() {
        context.stop();
        thread.join();
    }

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

    void control(Control control) {
        asio::post(context, [this, control = std::move(control)]() mutable {
            std::shared_ptr<Link> link;
            {
                const std::lock_guard lock(mutex);
                if (!sockets.empty() && !sockets.back()->ended) {
                    link = sockets.back();
                }
            }
            if (link) {
                link->controls.push_back(std::move(control));
                runControls(link);
            }
        });
    }

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
    asio::awaitable<void> acceptConnections() {
        for (;;) {
            auto [error, socket] = co_await acceptor.async_accept(step);
            if (error) {
                co_return;
            }
            boost::system::error_code ignored;
            socket.set_option(tcp::no_delay(true), ignored);
            asio::co_spawn(context, serve(std::make_shared<Link>(std::move(socket), tls)), reportFailure);
        }
    }

    asio::awaitable<void> serve(std::shared_ptr<Link> link) {
        auto& https = link->stream.next_layer();
        auto [handshakeError] = co_await https.async_handshake(asio::ssl::stream_base::server, step);
        if (handshakeError) {
            co_return;
        }
        beast::flat_buffer buffer;
        http::request_parser<http::string_body> parser;
        parser.body_limit(16 << 20);
        auto [readError, read] = co_await http::async_read(https, buffer, parser, step);
        if (readError) {
            co_return;
        }
        Request request = parser.release();
        const auto target = request.target();
        const auto path = target.substr(0, target.find('?'));
        if (websocket::is_upgrade(request) && path == "/v1/agent") {
            co_await serveSocket(link, request);
        } else if (request.method() == http::verb::post && path == "/v1/devices") {
            co_await serveRegistration(link, request);
        } else {
            co_await respond(*link, 404, "");
        }
    }

    asio::awaitable<void> serveRegistration(std::shared_ptr<Link> link, const Request& request) {
        const auto answer = change([&] {
            registrations.push_back(recorded(request));
            return nextAnswer(registrationScript, registrationAnswersUsed);
        });
        if (answer.silent) {
            unanswered.push_back(std::move(link));
            co_return;
        }
        if (answer.delay.count() > 0) {
            asio::steady_timer delay(context, answer.delay);
            co_await delay.async_wait(step);
        }
        co_await respond(*link, answer.status, answer.body);
    }

    asio::awaitable<void> serveSocket(std::shared_ptr<Link> link, const Request& request) {
        const auto answer = change([&] {
            upgrades.push_back(recorded(request));
            return nextAnswer(upgradeScript, upgradeAnswersUsed);
        });
        if (answer.silent) {
            unanswered.push_back(std::move(link));
            co_return;
        }
        if (answer.refusalStatus) {
            co_await respond(*link, *answer.refusalStatus, "");
            co_return;
        }
        auto [acceptError] = co_await link->stream.async_accept(request, step);
        if (acceptError) {
            co_return;
        }
        change([&] {
            sockets.push_back(link);
            link->number = sockets.size();
        });
        // Recorded when it arrives: the read's own result may be a later teardown failure.
        link->stream.control_callback([this, &link = *link](websocket::frame_type kind, beast::string_view) {
            if (kind != websocket::frame_type::close) {
                return;
            }
            const auto code = link.stream.reason().code;
            change([&] {
                frames.push_back(
                    {RelayFrame::Kind::close,
                     {},
                     code == websocket::close_code::none ? std::nullopt : std::optional<int>(code),
                     link.number});
            });
        });
        co_await readFrames(link);
        change([&] { link->ended = true; });
    }

    asio::awaitable<void> readFrames(std::shared_ptr<Link> link) {
        for (;;) {
            beast::flat_buffer message;
            auto [error, size] = co_await link->stream.async_read(message, step);
            if (error) {
                co_return;
            }
            RelayFrame frame{link->stream.got_text() ? RelayFrame::Kind::text : RelayFrame::Kind::binary,
                             beast::buffers_to_string(message.data()), std::nullopt, link->number};
            const bool pong = change([&] {
                frames.push_back(frame);
                return answersPings && frame.kind == RelayFrame::Kind::text && frame.data == "ping";
            });
            if (pong) {
                link->controls.push_back({Control::Kind::text, "pong", std::nullopt});
                runControls(link);
            }
        }
    }

    asio::awaitable<void> respond(Link& link, int status, std::string body) {
        http::response<http::string_body> response;
        response.version(11);
        response.result(static_cast<unsigned>(status));
        response.keep_alive(false);
        if (!body.empty()) {
            response.set(http::field::content_type, "application/json");
        }
        response.body() = std::move(body);
        response.prepare_payload();
        co_await http::async_write(link.stream.next_layer(), response, step);
    }

    // Starts the next control unless one is under way.
    void runControls(const std::shared_ptr<Link>& link) {
        if (link->busy || link->controls.empty()) {
            return;
        }
        const Control& control = link->controls.front();
        auto finished = [this, link](auto&&...) {
            link->busy = false;
            link->controls.pop_front();
            runControls(link);
        };
        link->busy = true;
        switch (control.kind) {
        case Control::Kind::drop:
            beast::get_lowest_layer(link->stream).close();
            finished();
            return;
        case Control::Kind::close:
            link->stream.async_close(
                control.closeCode ? websocket::close_reason(static_cast<std::uint16_t>(*control.closeCode))
                                  : websocket::close_reason(),
                finished);
            return;
        case Control::Kind::text:
        case Control::Kind::binary:
            link->stream.text(control.kind == Control::Kind::text);
            link->stream.async_write(asio::buffer(control.data), finished);
            return;
        }
    }
};

std::optional<std::string> RelayRequest::header(std::string_view name) const {
    const auto found = std::find_if(headers.begin(), headers.end(),
                                    [&](const auto& header) { return beast::iequals(header.first, name); });
    return found == headers.end() ? std::nullopt : std::optional<std::string>(found->second);
}

FakeRelay::FakeRelay(const TestCertificateAuthority& authority) {
    TestCertificateAuthority::trusted();
    server_ = std::make_shared<Server>(authority);
}

FakeRelay::~FakeRelay() = default;

std::uint16_t FakeRelay::port() const noexcept {
    return server_->port;
}

url::Url FakeRelay::baseUrl() const {
    return url::Url::parseReference("https://127.0.0.1:" + std::to_string(port())).value();
}

url::Url FakeRelay::socketUrl(std::string_view query) const {
    std::string text = "wss://127.0.0.1:";
    text.append(std::to_string(port())).append("/v1/agent");
    if (!query.empty()) {
        text.append("?").append(query);
    }
    return url::Url::parseReference(text).value();
}

void FakeRelay::scriptRegistrations(std::vector<RegistrationAnswer> answers) {
    server_->change([&] {
        server_->registrationScript = std::move(answers);
        server_->registrationAnswersUsed = 0;
    });
}

std::vector<RelayRequest> FakeRelay::registrations() const {
    const std::lock_guard lock(server_->mutex);
    return server_->registrations;
}

bool FakeRelay::waitForRegistrations(std::size_t count, std::chrono::milliseconds limit) const {
    return server_->waitUntil(limit, [&] { return server_->registrations.size() >= count; });
}

void FakeRelay::scriptUpgrades(std::vector<UpgradeAnswer> answers) {
    server_->change([&] {
        server_->upgradeScript = std::move(answers);
        server_->upgradeAnswersUsed = 0;
    });
}

std::vector<RelayRequest> FakeRelay::upgrades() const {
    const std::lock_guard lock(server_->mutex);
    return server_->upgrades;
}

bool FakeRelay::waitForConnections(std::size_t count, std::chrono::milliseconds limit) const {
    return server_->waitUntil(limit, [&] { return server_->sockets.size() >= count; });
}

std::size_t FakeRelay::connectionCount() const {
    const std::lock_guard lock(server_->mutex);
    return server_->sockets.size();
}

bool FakeRelay::waitForDisconnect(std::size_t connection, std::chrono::milliseconds limit) const {
    return server_->waitUntil(limit, [&] {
        return connection >= 1 && server_->sockets.size() >= connection &&
               server_->sockets[connection - 1]->ended;
    });
}

void FakeRelay::answerPings(bool answer) {
    server_->change([&] { server_->answersPings = answer; });
}

std::vector<RelayFrame> FakeRelay::frames() const {
    const std::lock_guard lock(server_->mutex);
    return server_->frames;
}

std::optional<RelayFrame> FakeRelay::waitForFrame(std::function<bool(const RelayFrame&)> matches,
                                                  std::chrono::milliseconds limit) const {
    std::optional<RelayFrame> found;
    server_->waitUntil(limit, [&] {
        const auto& frames = server_->frames;
        const auto match = std::find_if(frames.begin(), frames.end(), matches);
        if (match != frames.end()) {
            found = *match;
        }
        return found.has_value();
    });
    return found;
}

void FakeRelay::sendText(std::string text) {
    server_->control({Control::Kind::text, std::move(text), std::nullopt});
}

void FakeRelay::sendBinary(std::string data) {
    server_->control({Control::Kind::binary, std::move(data), std::nullopt});
}

void FakeRelay::close(std::optional<int> code) {
    server_->control({Control::Kind::close, {}, code});
}

void FakeRelay::drop() {
    server_->control({Control::Kind::drop, {}, std::nullopt});
}

} // namespace kestrava::test
