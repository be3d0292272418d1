#include "tests/support/FakeRelayServer.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/steady_timer.hpp>
#include <gtest/gtest.h>

#include <exception>

namespace kestrava::test::relay {
namespace {

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

RelayRequest recorded(const Request& request) {
    RelayRequest record{
        std::string(request.method_string()), std::string(request.target()), {}, request.body()};
    for (const auto& field : request) {
        record.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    return record;
}

Server::Server(const TestCertificateAuthority& authority) : tls(asio::ssl::context::tls_server) {
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

Server::~Server() {
    context.stop();
    thread.join();
}

asio::awaitable<void> Server::acceptConnections() {
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

asio::awaitable<void> Server::serve(std::shared_ptr<Link> link) {
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

asio::awaitable<void> Server::serveRegistration(std::shared_ptr<Link> link, const Request& request) {
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

asio::awaitable<void> Server::respond(Link& link, int status, std::string body) {
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

} // namespace kestrava::test::relay
