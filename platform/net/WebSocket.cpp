#include "platform/net/WebSocket.hpp"

#include "platform/net/WebSocketTransport.hpp"

namespace kestrava::net {

std::shared_ptr<WebSocket> WebSocket::create(boost::asio::io_context& context, url::Url url, Headers headers,
                                             std::size_t maxMessageSize, std::chrono::seconds openingLimit) {
    WebSocketOpening opening{Endpoint::of(url), std::move(headers), maxMessageSize, openingLimit};
    if (opening.endpoint && opening.endpoint->secure) {
        return makeWebSocket<Transport::tls>(context, std::move(opening));
    }
    return makeWebSocket<Transport::plain>(context, std::move(opening));
}

} // namespace kestrava::net
