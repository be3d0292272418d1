#pragma once

#include <boost/asio/compose.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket/teardown.hpp>

// Internal to platform/net.
namespace kestrava::net::detail {

// The TLS stream under a WebSocket. When the WebSocket layer fails a connection (a message too big, a
// frame against the protocol, text that is not UTF-8) it tears the connection down and reports the
// teardown's error, if there is one, in place of the cause. A peer that keeps sending after our
// close_notify makes the TLS shutdown fail, so the teardown below lets only the TCP layer's outcome
// through: the connection ends either way, and the log names the real cause.
class TlsStream : public boost::beast::ssl_stream<boost::beast::tcp_stream> {
public:
    using boost::beast::ssl_stream<boost::beast::tcp_stream>::ssl_stream;
};

// Found by argument-dependent lookup from the WebSocket stream in place of the one for any TLS stream.
template<class Handler>
void async_teardown(boost::beast::role_type role, TlsStream& stream, Handler&& handler) {
    enum class Step { shutDown, tearDownTcp, done };
    boost::asio::async_compose<Handler, void(boost::system::error_code)>(
        [&stream, role, step = Step::shutDown](auto& self, boost::system::error_code error = {}) mutable {
            switch (step) {
            case Step::shutDown:
                step = Step::tearDownTcp;
                stream.async_shutdown(std::move(self));
                return;
            case Step::tearDownTcp: {
                step = Step::done;
                using boost::beast::websocket::async_teardown;
                async_teardown(role, stream.next_layer(), std::move(self));
                return;
            }
            case Step::done:
                self.complete(error);
                return;
            }
        },
        handler, stream);
}

} // namespace kestrava::net::detail
