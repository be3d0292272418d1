#include "fuzz/support/LoopbackServer.hpp"
#include "platform/encoding/Base64.hpp"
#include "platform/net/WebSocket.hpp"
#include "platform/url/Url.hpp"

#include <boost/asio/buffer.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/beast/http.hpp>
#include <openssl/evp.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace kestrava;

namespace {

namespace http = boost::beast::http;

constexpr std::size_t maxMessageSize = 4096;
constexpr std::chrono::seconds openingLimit(2);
// Past the opening limit: the server hangs up after its frames, so the socket must have failed by then.
constexpr std::chrono::seconds runLimit(5);

// The client's Sec-WebSocket-Key hashed with the protocol's GUID, as the upgrade answer must carry it.
std::string acceptFor(std::string_view requestHead) {
    http::request_parser<http::empty_body> parser;
    boost::beast::error_code error;
    parser.put(boost::asio::buffer(requestHead.data(), requestHead.size()), error);
    const std::string keyed =
        std::string(parser.get()[http::field::sec_websocket_key]) + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
    std::array<std::uint8_t, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    // Our client's request always parses; a wrong answer would leave the frames untested.
    if (error || !EVP_Digest(keyed.data(), keyed.size(), digest.data(), &length, EVP_sha1(), nullptr)) {
        std::abort();
    }
    return base64::encode(ByteView(digest.data(), length));
}

// A correct upgrade, then the input as the server's frames.
std::string upgradeThen(std::string_view requestHead, std::string_view frames) {
    return "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
           "Sec-WebSocket-Accept: " +
           acceptFor(requestHead) + "\r\n\r\n" + std::string(frames);
}

// Asks for one message after another until the socket fails.
void receiveUntilFailure(net::WebSocket& socket, bool& failed) {
    socket.receive([&socket, &failed](net::WebSocket::Received received) {
        if (received.message) {
            receiveUntilFailure(socket, failed);
        } else {
            failed = true;
        }
    });
}

} // namespace

// The input is what the relay sends on an open link: every message arrives or the socket fails, and all
// its work ends soon after the server hangs up.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::LoopbackServer server(upgradeThen);
    static const url::Url url =
        *url::Url::parseReference("ws://127.0.0.1:" + std::to_string(server.port()) + "/v1/agent");
    server.setInput(std::string_view(reinterpret_cast<const char*>(data), size));
    // Shared by every input, so that its resolver thread starts once rather than for each.
    static boost::asio::io_context context;
    context.restart();
    const auto socket = net::WebSocket::create(context, url, {}, maxMessageSize, openingLimit);
    bool failed = false;
    socket->resume();
    receiveUntilFailure(*socket, failed);
    context.run_for(runLimit);
    if (!failed || !context.stopped()) {
        std::fprintf(stderr, "the socket neither failed nor finished its work within %lld s\n",
                     static_cast<long long>(runLimit.count()));
        std::abort();
    }
    return 0;
}
