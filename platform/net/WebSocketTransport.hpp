#pragma once

#include "platform/net/Endpoint.hpp"
#include "platform/net/WebSocket.hpp"

#include <boost/asio/io_context.hpp>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>

// Internal to platform/net.
namespace kestrava::net {

enum class Transport { plain, tls };

// What WebSocket::create was given, the URL read into its endpoint (nothing for an unsupported URL).
struct WebSocketOpening {
    std::optional<Endpoint> endpoint;
    WebSocket::Headers headers;
    std::size_t maxMessageSize;
    std::chrono::seconds openingLimit;
};

// The WebSocket over one transport. Each is instantiated in a file of its own (PlainWebSocket.cpp,
// TlsWebSocket.cpp), so that the two compile apart and in parallel.
template<Transport transport>
std::shared_ptr<WebSocket> makeWebSocket(boost::asio::io_context& context, WebSocketOpening opening);

} // namespace kestrava::net
