#pragma once

#include "platform/url/Url.hpp"

#include <boost/asio/io_context.hpp>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrava::net {

// A client WebSocket over TLS ("wss:") or plain TCP ("ws:"), driven on one io_context: every
// completion runs there. Frames handed to a socket that is still opening wait in its own queue and are
// sent once it is open, or fail with it. One write and one read are outstanding at a time.
class WebSocket {
public:
    using Headers = std::vector<std::pair<std::string, std::string>>;

    struct Message {
        std::string data;
        bool isText = true;
    };

    // One inbound message, or the failure that ended the socket.
    struct Received {
        std::optional<Message> message;
        std::string error; // the failure's description when there is no message
    };

    static std::shared_ptr<WebSocket> create(boost::asio::io_context& context, url::Url url, Headers headers,
                                             std::size_t maxMessageSize = 1 << 20,
                                             std::chrono::seconds openingLimit = std::chrono::seconds(60));
    virtual ~WebSocket() = default;

    // Starts opening: name resolution, connection, TLS, upgrade.
    virtual void resume() = 0;

    // Sends one text frame; `done` gets the failure's description, or nothing when the frame went out.
    virtual void send(std::string text, std::function<void(std::optional<std::string> error)> done) = 0;

    // Asks for the next inbound message; at most one request is outstanding.
    virtual void receive(std::function<void(Received)> done) = 0;

    // Ends the socket: 1001 sends a close frame with that code, 1006 drops the connection without one.
    // Outstanding requests complete with a failure.
    virtual void cancel(int closeCode) = 0;

    // The HTTP status of the opening handshake's response, once one arrived.
    virtual std::optional<int> handshakeStatus() const = 0;

    // The close code the peer sent: 0 while none arrived, 1005 for a close frame without a code.
    virtual int closeCode() const = 0;
};

} // namespace kestrava::net
