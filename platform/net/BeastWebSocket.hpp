#pragma once

#include "platform/net/Endpoint.hpp"
#include "platform/net/TlsClient.hpp"
#include "platform/net/TlsStream.hpp"
#include "platform/net/WebSocket.hpp"
#include "platform/net/WebSocketTransport.hpp"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>

#include <atomic>
#include <concepts>
#include <deque>
#include <exception>
#include <type_traits>

// Internal to platform/net: the WebSocket over either stream. Only the two files that instantiate it
// include this, so that the plain and the TLS socket compile apart, each once.
namespace kestrava::net {
namespace detail {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using boost::system::error_code;

using PlainStream = beast::tcp_stream;

template<typename Stream>
class BeastWebSocket final : public WebSocket, public std::enable_shared_from_this<BeastWebSocket<Stream>> {
public:
    BeastWebSocket(asio::io_context& context, std::optional<Endpoint> endpoint, Headers headers,
                   std::size_t maxMessageSize, std::chrono::seconds openingLimit)
        : context_(context), endpoint_(std::move(endpoint)), headers_(std::move(headers)),
          maxMessageSize_(maxMessageSize), openingLimit_(openingLimit), resolver_(context),
          openingTimer_(context), tls_(isSecure ? clientTlsContext() : nullptr),
          socket_(makeStream(context, tls_.get())) {}

    void resume() override {
        onContext([this] { open(); });
    }

    void send(std::string text, std::function<void(std::optional<std::string> error)> done) override {
        onContext([this, text = std::move(text), done = std::move(done)]() mutable {
            if (phase_ == Phase::ended) {
                later([done = std::move(done), failure = failure_] { done(failure); });
                return;
            }
            queue_.push_back({std::move(text), std::move(done)});
            writeNext();
        });
    }

    void receive(std::function<void(Received)> done) override {
        onContext([this, done = std::move(done)]() mutable {
            if (phase_ == Phase::ended || receiver_) {
                const auto failure = phase_ == Phase::ended
                                         ? failure_
                                         : make_error_code(asio::error::already_started).message();
                later([done = std::move(done), failure] { done(Received{std::nullopt, failure}); });
                return;
            }
            receiver_ = std::move(done);
            readNext();
        });
    }

    void cancel(int closeCode) override {
        onContext([this, closeCode] {
            if (phase_ == Phase::ended) {
                return;
            }
            const bool sendsCloseFrame = phase_ == Phase::open && closeCode != 1006;
            end(make_error_code(asio::error::operation_aborted).message());
            if (!sendsCloseFrame) {
                drop();
                return;
            }
            socket_.async_close(websocket::close_reason(static_cast<std::uint16_t>(closeCode)),
                                bound([this](const error_code&) { drop(); }));
        });
    }

    std::optional<int> handshakeStatus() const override {
        const int status = handshakeStatus_.load();
        return status == 0 ? std::nullopt : std::optional<int>(status);
    }

    int closeCode() const override { return closeCode_.load(); }

private:
    static constexpr bool isSecure = std::is_same_v<Stream, TlsStream>;

    enum class Phase { idle, opening, open, ended };

    struct Outgoing {
        std::string text;
        std::function<void(std::optional<std::string>)> done;
    };

    static websocket::stream<Stream> makeStream(asio::io_context& context, asio::ssl::context* tls) {
        if constexpr (isSecure) {
            return websocket::stream<Stream>(context, *tls);
        } else {
            return websocket::stream<Stream>(context);
        }
    }

    // Our part of a completion. An exception (an allocation failure, or one from a caller's callback)
    // ends the socket instead of escaping into the event loop.
    template<typename Work>
    void guarded(Work&& work) noexcept {
        try {
            work();
        } catch (const std::exception& error) {
            failAfterException(error.what());
        } catch (...) {
            failAfterException("unknown failure");
        }
    }

    // Ending the socket allocates too: when memory is still short, it is only closed, so that what waits
    // on it fails at its next step.
    void failAfterException(const char* failure) noexcept {
        try {
            fail(failure);
        } catch (...) {
            drop();
        }
    }

    // A completion handler that keeps this socket alive until it ran.
    template<typename Handler>
    auto bound(Handler handler) {
        return [ self = this->shared_from_this(), handler = std::move(handler) ](
            auto&&... results) mutable requires std::invocable<Handler&, decltype(results)...> {
            self->guarded([&] { handler(std::forward<decltype(results)>(results)...); });
        };
    }

    template<typename Work>
    void onContext(Work work) {
        asio::dispatch(context_, bound(std::move(work)));
    }

    // Callbacks that must not run inside the call that caused them.
    template<typename Work>
    void later(Work work) {
        asio::post(context_, bound(std::move(work)));
    }

    void open() {
        if (phase_ != Phase::idle) {
            return;
        }
        if (!endpoint_) {
            fail("unsupported URL");
            return;
        }
        phase_ = Phase::opening;
        openingTimer_.expires_after(openingLimit_);
        openingTimer_.async_wait(bound([this](const error_code& error) {
            if (!error && phase_ == Phase::opening) {
                fail(make_error_code(beast::error::timeout).message());
            }
        }));
        resolver_.async_resolve(
            endpoint_->host, endpoint_->port,
            bound([this](const error_code& error, const tcp::resolver::results_type& results) {
                onResolved(error, results);
            }));
    }

    void onResolved(const error_code& error, const tcp::resolver::results_type& results) {
        if (phase_ != Phase::opening) {
            return;
        }
        if (error) {
            fail(error.message());
            return;
        }
        beast::get_lowest_layer(socket_).async_connect(
            results,
            bound([this](const error_code& failure, const tcp::endpoint&) { onConnected(failure); }));
    }

    void onConnected(const error_code& error) {
        if (phase_ != Phase::opening) {
            return;
        }
        if (error) {
            fail(error.message());
            return;
        }
        // Frames are small and each one is awaited by the other side; Nagle's delay would hold them.
        error_code ignored;
        beast::get_lowest_layer(socket_).socket().set_option(tcp::no_delay(true), ignored);
        if constexpr (isSecure) {
            auto& tls = socket_.next_layer();
            if (const auto failure =
                    expectServer(tls.native_handle(), endpoint_->host, endpoint_->hostIsAddress)) {
                fail(failure.message());
                return;
            }
            tls.async_handshake(asio::ssl::stream_base::client, bound([this](const error_code& failure) {
                                    if (phase_ != Phase::opening) {
                                        return;
                                    }
                                    if (failure) {
                                        fail(failure.message());
                                        return;
                                    }
                                    upgrade();
                                }));
        } else {
            upgrade();
        }
    }

    void upgrade() {
        // The opening limit covers the upgrade (and bounds a closing handshake); an open socket has no
        // idle limit and sends no pings of its own.
        websocket::stream_base::timeout timeouts{};
        timeouts.handshake_timeout = openingLimit_;
        timeouts.idle_timeout = websocket::stream_base::none();
        timeouts.keep_alive_pings = false;
        socket_.set_option(timeouts);
        socket_.set_option(
            websocket::stream_base::decorator([headers = headers_](websocket::request_type& request) {
                for (const auto& [name, value] : headers) {
                    request.set(name, value);
                }
            }));
        socket_.read_message_max(maxMessageSize_);
        // Noted when the frame arrives: the read's own result may be a later teardown failure.
        socket_.control_callback([this](websocket::frame_type kind, beast::string_view) {
            if (kind == websocket::frame_type::close && phase_ == Phase::open) {
                const auto code = socket_.reason().code;
                closeCode_ = code == websocket::close_code::none ? 1005 : static_cast<int>(code);
            }
        });
        socket_.async_handshake(response_, endpoint_->hostHeader, endpoint_->target,
                                bound([this](const error_code& error) { onUpgraded(error); }));
    }

    void onUpgraded(const error_code& error) {
        if (!error || error == websocket::condition::handshake_failed) {
            handshakeStatus_ = static_cast<int>(response_.result_int());
        }
        if (phase_ != Phase::opening) {
            return;
        }
        if (error) {
            fail(error.message());
            return;
        }
        phase_ = Phase::open;
        openingTimer_.cancel();
        writeNext();
        readNext();
    }

    void writeNext() {
        if (phase_ != Phase::open || writing_ || queue_.empty()) {
            return;
        }
        writing_ = std::move(queue_.front());
        queue_.pop_front();
        socket_.text(true);
        socket_.async_write(asio::buffer(writing_->text),
                            bound([this](const error_code& error, std::size_t) { onWritten(error); }));
    }

    void onWritten(const error_code& error) {
        const auto done = std::move(writing_->done);
        writing_.reset();
        if (error) {
            fail(error.message());
            done(failure_);
            return;
        }
        done(std::nullopt);
        writeNext();
    }

    void readNext() {
        if (phase_ != Phase::open || reading_ || !receiver_) {
            return;
        }
        reading_ = true;
        socket_.async_read(inbound_, bound([this](const error_code& error, std::size_t) { onRead(error); }));
    }

    void onRead(const error_code& error) {
        reading_ = false;
        if (error) {
            fail(error.message());
            return;
        }
        if (!receiver_) {
            return; // cancelled meanwhile
        }
        Message message{beast::buffers_to_string(inbound_.data()), socket_.got_text()};
        inbound_.consume(inbound_.size());
        const auto receiver = std::exchange(receiver_, nullptr);
        receiver(Received{std::move(message), {}});
    }

    // Marks the socket ended and fails every request still waiting; the in-flight write reports on
    // its own completion.
    void end(std::string failure) {
        if (phase_ == Phase::ended) {
            return;
        }
        phase_ = Phase::ended;
        failure_ = std::move(failure);
        openingTimer_.cancel();
        resolver_.cancel();
        for (auto& outgoing : queue_) {
            later([done = std::move(outgoing.done), failure = failure_] { done(failure); });
        }
        queue_.clear();
        if (receiver_) {
            later([done = std::exchange(receiver_, nullptr), failure = failure_] {
                done(Received{std::nullopt, failure});
            });
        }
    }

    void fail(std::string failure) {
        end(std::move(failure));
        drop();
    }

    // Closes the connection without a close frame. Never throws.
    void drop() { beast::get_lowest_layer(socket_).close(); }

    asio::io_context& context_;
    const std::optional<Endpoint> endpoint_;
    const Headers headers_;
    const std::size_t maxMessageSize_;
    const std::chrono::seconds openingLimit_;
    tcp::resolver resolver_;
    asio::steady_timer openingTimer_;
    const std::shared_ptr<asio::ssl::context> tls_; // outlives the socket
    websocket::stream<Stream> socket_;
    websocket::response_type response_;
    beast::flat_buffer inbound_;

    Phase phase_ = Phase::idle;
    std::string failure_;
    std::deque<Outgoing> queue_;
    std::optional<Outgoing> writing_;
    std::function<void(Received)> receiver_;
    bool reading_ = false;
    std::atomic<int> handshakeStatus_{0};
    std::atomic<int> closeCode_{0};
};

} // namespace detail

template<Transport transport>
std::shared_ptr<WebSocket> makeWebSocket(boost::asio::io_context& context, WebSocketOpening opening) {
    using Stream = std::conditional_t<transport == Transport::tls, detail::TlsStream, detail::PlainStream>;
    return std::make_shared<detail::BeastWebSocket<Stream>>(context, std::move(opening.endpoint),
                                                            std::move(opening.headers),
                                                            opening.maxMessageSize, opening.openingLimit);
}

} // namespace kestrava::net
