#include "platform/net/Https.hpp"

#include "platform/net/Endpoint.hpp"
#include "platform/net/TlsClient.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include <exception>
#include <memory>
#include <optional>
#include <string_view>

namespace kestrava::net {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

constexpr auto step = asio::as_tuple(asio::use_awaitable);

struct Request {
    const std::string& method;
    const Endpoint& endpoint;
    const HttpHeaders& headers;
    const std::string& body;
    std::chrono::seconds limit;
    std::size_t maxBody;
};

[[noreturn]] void fail(std::string_view stage, const boost::system::error_code& error) {
    throw NetError(std::string(stage) + ": " + error.message());
}

asio::awaitable<tcp::resolver::results_type> resolve(const Request& request) {
    const auto executor = co_await asio::this_coro::executor;
    // The resolver has no time limit of its own; the timer's handler may outlive this frame.
    const auto resolver = std::make_shared<tcp::resolver>(executor);
    const auto timedOut = std::make_shared<bool>(false);
    asio::steady_timer deadline(executor, request.limit);
    deadline.async_wait([resolver, timedOut](const boost::system::error_code& error) {
        if (!error) {
            *timedOut = true;
            resolver->cancel();
        }
    });
    auto [error, results] =
        co_await resolver->async_resolve(request.endpoint.host, request.endpoint.port, step);
    deadline.cancel();
    if (*timedOut) {
        fail("resolve", beast::error::timeout);
    }
    if (error) {
        fail("resolve", error);
    }
    co_return results;
}

asio::awaitable<void> connect(beast::tcp_stream& stream, const tcp::resolver::results_type& endpoints,
                              const Request& request) {
    stream.expires_after(request.limit);
    auto [error, connected] = co_await stream.async_connect(endpoints, step);
    if (error) {
        fail("connect", error);
    }
}

template<typename Stream>
asio::awaitable<HttpResponse> exchange(Stream& stream, const Request& request) {
    http::request<http::string_body> message;
    const auto verb = http::string_to_verb(request.method);
    if (verb == http::verb::unknown) {
        message.method_string(request.method);
    } else {
        message.method(verb);
    }
    message.target(request.endpoint.target);
    message.version(11);
    message.set(http::field::host, request.endpoint.hostHeader);
    for (const auto& [name, value] : request.headers) {
        message.insert(name, value);
    }
    message.body() = request.body;
    message.prepare_payload();

    beast::get_lowest_layer(stream).expires_after(request.limit);
    auto [writeError, written] = co_await http::async_write(stream, message, step);
    if (writeError) {
        fail("write", writeError);
    }

    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(request.maxBody);
    parser.skip(verb == http::verb::head);
    beast::get_lowest_layer(stream).expires_after(request.limit);
    auto [readError, read] = co_await http::async_read(stream, buffer, parser, step);
    if (readError == http::error::body_limit) {
        throw NetError("read: body too large");
    }
    if (readError) {
        fail("read", readError);
    }
    co_return HttpResponse{static_cast<int>(parser.get().result_int()), std::move(parser.get().body())};
}

asio::awaitable<HttpResponse> perform(const Request& request) {
    const auto executor = co_await asio::this_coro::executor;
    const auto endpoints = co_await resolve(request);
    if (!request.endpoint.secure) {
        beast::tcp_stream stream(executor);
        co_await connect(stream, endpoints, request);
        co_return co_await exchange(stream, request);
    }
    const auto tls = clientTlsContext();
    beast::ssl_stream<beast::tcp_stream> stream(executor, *tls);
    co_await connect(stream.next_layer(), endpoints, request);
    if (const auto error =
            expectServer(stream.native_handle(), request.endpoint.host, request.endpoint.hostIsAddress)) {
        fail("TLS handshake", error);
    }
    stream.next_layer().expires_after(request.limit);
    auto [error] = co_await stream.async_handshake(asio::ssl::stream_base::client, step);
    if (error) {
        fail("TLS handshake", error);
    }
    co_return co_await exchange(stream, request);
}

} // namespace

HttpResponse fetch(const std::string& method, const url::Url& url, const HttpHeaders& headers,
                   const std::string& body, std::chrono::seconds operationLimit, std::size_t maxBody) {
    const auto endpoint = Endpoint::of(url);
    if (!endpoint) {
        throw NetError("unsupported URL");
    }
    const Request request{method, *endpoint, headers, body, operationLimit, maxBody};
    asio::io_context context;
    std::optional<HttpResponse> response;
    std::exception_ptr failure;
    asio::co_spawn(context, perform(request), [&](std::exception_ptr error, HttpResponse answer) {
        failure = error;
        response = std::move(answer);
    });
    context.run();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return std::move(*response);
}

} // namespace kestrava::net
