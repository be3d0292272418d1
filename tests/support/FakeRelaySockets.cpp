#include "tests/support/FakeRelayServer.hpp"

#include <boost/asio/post.hpp>

namespace kestrava::test::relay {

void Server::control(Control control) {
    asio::post(context, [this, control = std::move(control)]() mutable {
        std::shared_ptr<Link> link;
        {
            const std::lock_guard lock(mutex);
            if (!sockets.empty() && !sockets.back()->ended) {
                link = sockets.back();
            }
        }
        if (link) {
            link->controls.push_back(std::move(control));
            runControls(link);
        }
    });
}

asio::awaitable<void> Server::serveSocket(std::shared_ptr<Link> link, const Request& request) {
    const auto answer = change([&] {
        upgrades.push_back(recorded(request));
        return nextAnswer(upgradeScript, upgradeAnswersUsed);
    });
    if (answer.silent) {
        unanswered.push_back(std::move(link));
        co_return;
    }
    if (answer.refusalStatus) {
        co_await respond(*link, *answer.refusalStatus, "");
        co_return;
    }
    auto [acceptError] = co_await link->stream.async_accept(request, step);
    if (acceptError) {
        co_return;
    }
    change([&] {
        sockets.push_back(link);
        link->number = sockets.size();
    });
    // Recorded when it arrives: the read's own result may be a later teardown failure.
    link->stream.control_callback([this, &link = *link](websocket::frame_type kind, beast::string_view) {
        if (kind != websocket::frame_type::close) {
            return;
        }
        const auto code = link.stream.reason().code;
        change([&] {
            frames.push_back({RelayFrame::Kind::close,
                              {},
                              code == websocket::close_code::none ? std::nullopt : std::optional<int>(code),
                              link.number});
        });
    });
    co_await readFrames(link);
    change([&] { link->ended = true; });
}

asio::awaitable<void> Server::readFrames(std::shared_ptr<Link> link) {
    for (;;) {
        beast::flat_buffer message;
        auto [error, size] = co_await link->stream.async_read(message, step);
        if (error) {
            co_return;
        }
        RelayFrame frame{link->stream.got_text() ? RelayFrame::Kind::text : RelayFrame::Kind::binary,
                         beast::buffers_to_string(message.data()), std::nullopt, link->number};
        const bool pong = change([&] {
            frames.push_back(frame);
            return answersPings && frame.kind == RelayFrame::Kind::text && frame.data == "ping";
        });
        if (pong) {
            link->controls.push_back({Control::Kind::text, "pong", std::nullopt});
            runControls(link);
        }
    }
}

void Server::runControls(const std::shared_ptr<Link>& link) {
    if (link->busy || link->controls.empty()) {
        return;
    }
    const Control& control = link->controls.front();
    auto finished = [this, link](auto&&...) {
        link->busy = false;
        link->controls.pop_front();
        runControls(link);
    };
    link->busy = true;
    switch (control.kind) {
    case Control::Kind::drop:
        beast::get_lowest_layer(link->stream).close();
        finished();
        return;
    case Control::Kind::close:
        link->stream.async_close(control.closeCode
                                     ? websocket::close_reason(static_cast<std::uint16_t>(*control.closeCode))
                                     : websocket::close_reason(),
                                 finished);
        return;
    case Control::Kind::rawFrame:
        asio::async_write(link->stream.next_layer(), asio::buffer(control.data), finished);
        return;
    case Control::Kind::text:
    case Control::Kind::binary:
        link->stream.text(control.kind == Control::Kind::text);
        link->stream.async_write(asio::buffer(control.data), finished);
        return;
    }
}

} // namespace kestrava::test::relay
