// The WebSocket over TLS ("wss:").
#include "platform/net/BeastWebSocket.hpp"

namespace kestrava::net {

template std::shared_ptr<WebSocket> makeWebSocket<Transport::tls>(boost::asio::io_context&, WebSocketOpening);

} // namespace kestrava::net
