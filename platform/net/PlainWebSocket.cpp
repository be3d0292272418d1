// The WebSocket over plain TCP ("ws:").
#include "platform/net/BeastWebSocket.hpp"

namespace kestrava::net {

template std::shared_ptr<WebSocket> makeWebSocket<Transport::plain>(boost::asio::io_context&,
                                                                    WebSocketOpening);

} // namespace kestrava::net
