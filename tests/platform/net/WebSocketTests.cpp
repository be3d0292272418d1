#include "platform/net/WebSocket.hpp"
#include "tests/support/FakeRelay.hpp"
#include "tests/support/ServedAgent.hpp"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <string>
#include <thread>

using kestrava::net::WebSocket;
using kestrava::test::FakeRelay;
using kestrava::test::RelayFrame;
using kestrava::test::TestCertificateAuthority;
using kestrava::test::UpgradeAnswer;
using namespace std::chrono_literals;

namespace {

const std::string canceled = "Operation canceled";

// A client event loop on its own thread, and the relay it talks to.
class WebSocketTest : public ::testing::Test {
protected:
    ~WebSocketTest() override {
        work_.reset();
        thread_.join();
    }

    std::shared_ptr<WebSocket> socket(std::size_t maxMessageSize = 1 << 20,
                                      std::chrono::seconds openingLimit = 60s) {
        return WebSocket::create(context_, relay.socketUrl("deviceId=dev-1"),
                                 {{"Authorization", "Bearer tok-1"}, {"x-kv-v", "1"}}, maxMessageSize,
                                 openingLimit);
    }

    // The value once it arrived; a hung operation fails the test instead of hanging it.
    template<typename T>
    static T awaited(std::future<T> future) {
        if (future.wait_for(10s) != std::future_status::ready) {
            throw std::runtime_error("no completion");
        }
        return future.get();
    }

    static std::future<std::optional<std::string>> sent(WebSocket& socket, std::string text) {
        auto done = std::make_shared<std::promise<std::optional<std::string>>>();
        socket.send(std::move(text),
                    [done](std::optional<std::string> error) { done->set_value(std::move(error)); });
        return done->get_future();
    }

    static std::future<WebSocket::Received> received(WebSocket& socket) {
        auto done = std::make_shared<std::promise<WebSocket::Received>>();
        socket.receive([done](WebSocket::Received result) { done->set_value(std::move(result)); });
        return done->get_future();
    }

    static std::string failureOf(WebSocket& socket) {
        const auto result = awaited(received(socket));
        EXPECT_FALSE(result.message) << result.message->data;
        return result.error;
    }

    static bool isClose(const RelayFrame& frame) { return frame.kind == RelayFrame::Kind::close; }

    FakeRelay relay;
    boost::asio::io_context context_;

private:
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_{context_.get_executor()};
    std::thread thread_{[this] { context_.run(); }};
};

TEST_F(WebSocketTest, SendsFramesQueuedBeforeOpeningInOrderWithTheHeaders) {
    const auto link = socket();
    auto first = sent(*link, "hello");
    auto second = sent(*link, "ping");
    auto third = sent(*link, "after");
    link->resume();
    EXPECT_EQ(awaited(std::move(first)), std::nullopt);
    EXPECT_EQ(awaited(std::move(second)), std::nullopt);
    EXPECT_EQ(awaited(std::move(third)), std::nullopt);
    ASSERT_TRUE(relay.waitForFrame([](const RelayFrame& frame) { return frame.data == "after"; }));

    const auto frames = relay.frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].data, "hello");
    EXPECT_EQ(frames[1].data, "ping");
    EXPECT_EQ(frames[2].kind, RelayFrame::Kind::text);
    EXPECT_EQ(link->handshakeStatus(), 101);
    EXPECT_EQ(link->closeCode(), 0);

    const auto upgrade = relay.upgrades().at(0);
    EXPECT_EQ(upgrade.target, "/v1/agent?deviceId=dev-1");
    EXPECT_EQ(upgrade.header("Authorization"), "Bearer tok-1");
    EXPECT_EQ(upgrade.header("x-kv-v"), "1");
    EXPECT_EQ(upgrade.header("Host"), "127.0.0.1:" + std::to_string(relay.port()));
    EXPECT_EQ(upgrade.header("Sec-WebSocket-Extensions"), std::nullopt);
}

TEST_F(WebSocketTest, ReceivesTextAndBinaryMessages) {
    const auto link = socket();
    link->resume();
    EXPECT_EQ(awaited(sent(*link, "ping")), std::nullopt);
    const auto pong = awaited(received(*link));
    ASSERT_TRUE(pong.message);
    EXPECT_EQ(pong.message->data, "pong");
    EXPECT_TRUE(pong.message->isText);

    const std::string bytes("\x00\xff\x01", 3);
    relay.sendBinary(bytes);
    relay.sendText("{\"t\":\"é\"}");
    const auto binary = awaited(received(*link));
    ASSERT_TRUE(binary.message);
    EXPECT_EQ(binary.message->data, bytes);
    EXPECT_FALSE(binary.message->isText);
    const auto text = awaited(received(*link));
    ASSERT_TRUE(text.message);
    EXPECT_EQ(text.message->data, "{\"t\":\"é\"}");
    EXPECT_TRUE(text.message->isText);
}

TEST_F(WebSocketTest, ARefusedUpgradeFailsWithItsStatus) {
    relay.scriptUpgrades({UpgradeAnswer::refuse(503)});
    const auto link = socket();
    auto hello = sent(*link, "hello");
    auto receiving = received(*link);
    link->resume();
    const auto result = awaited(std::move(receiving));
    EXPECT_FALSE(result.message);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(awaited(std::move(hello)), result.error);
    EXPECT_EQ(link->handshakeStatus(), 503);
    EXPECT_EQ(link->closeCode(), 0);
    EXPECT_EQ(awaited(sent(*link, "late")), result.error);
}

TEST_F(WebSocketTest, ReportsThePeersCloseCode) {
    const auto coded = socket();
    coded->resume();
    ASSERT_TRUE(relay.waitForConnections(1));
    relay.close(4000);
    EXPECT_FALSE(failureOf(*coded).empty());
    EXPECT_EQ(coded->closeCode(), 4000);

    const auto uncoded = socket();
    uncoded->resume();
    ASSERT_TRUE(relay.waitForConnections(2));
    relay.close(std::nullopt);
    EXPECT_FALSE(failureOf(*uncoded).empty());
    EXPECT_EQ(uncoded->closeCode(), 1005);
}

TEST_F(WebSocketTest, AMessageOverTheLimitFailsTheSocket) {
    const auto link = socket(1024);
    link->resume();
    ASSERT_TRUE(relay.waitForConnections(1));
    relay.sendText(std::string(1024, 'a'));
    relay.sendText(std::string(1025, 'b'));
    const auto fitting = awaited(received(*link));
    ASSERT_TRUE(fitting.message);
    EXPECT_EQ(fitting.message->data.size(), 1024u);
    EXPECT_EQ(failureOf(*link), "The WebSocket message exceeded the locally configured limit");
    const auto close = relay.waitForFrame(isClose);
    ASSERT_TRUE(close);
    EXPECT_EQ(close->closeCode, 1009);
    EXPECT_EQ(link->closeCode(), 0);
}

TEST_F(WebSocketTest, AFrameAgainstTheProtocolFailsTheSocketNamingTheCause) {
    using namespace std::string_literals;
    const struct {
        std::string frame;
        std::string failure;
        int closeCode;
    } cases[] = {
        {"\x83\x00"s, "The WebSocket frame contained an illegal opcode", 1002},
        {"\x81\x81\x01\x02\x03\x04\x60"s, "The WebSocket frame was masked", 1002},
        {"\x81\x02\xC3\x28"s, "The WebSocket frame payload was not valid utf8", 1007},
        {"\xC1\x01x"s, "The WebSocket frame contained illegal reserved bits", 1002},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto link = socket();
        link->resume();
        ASSERT_TRUE(relay.waitForConnections(i + 1));
        relay.sendRawFrame(cases[i].frame);
        EXPECT_EQ(failureOf(*link), cases[i].failure);
        // The socket's own close frame names the cause to the relay as well.
        std::vector<std::optional<int>> closeCodes;
        EXPECT_TRUE(kestrava::test::eventually(
            [&] {
                closeCodes.clear();
                for (const auto& frame : relay.frames()) {
                    if (isClose(frame)) {
                        closeCodes.push_back(frame.closeCode);
                    }
                }
                return closeCodes.size();
            },
            [&](std::size_t count) { return count == i + 1; }));
        EXPECT_EQ(closeCodes.back(), cases[i].closeCode) << cases[i].failure;
    }
}

TEST_F(WebSocketTest, CancelSendsCloseFrameOrDropsTheConnection) {
    const auto leaving = socket();
    leaving->resume();
    ASSERT_EQ(awaited(sent(*leaving, "open")), std::nullopt);
    auto outstanding = received(*leaving);
    leaving->cancel(1001);
    EXPECT_EQ(awaited(std::move(outstanding)).error, canceled);
    const auto close = relay.waitForFrame(isClose);
    ASSERT_TRUE(close);
    EXPECT_EQ(close->closeCode, 1001);
    EXPECT_EQ(awaited(sent(*leaving, "late")), canceled);

    const auto dropped = socket();
    dropped->resume();
    ASSERT_EQ(awaited(sent(*dropped, "open")), std::nullopt);
    outstanding = received(*dropped);
    dropped->cancel(1006);
    EXPECT_EQ(awaited(std::move(outstanding)).error, canceled);
    ASSERT_TRUE(relay.waitForDisconnect(2));
    for (const auto& frame : relay.frames()) {
        EXPECT_FALSE(frame.connection == 2 && isClose(frame));
    }
    EXPECT_EQ(failureOf(*dropped), canceled);
}

TEST_F(WebSocketTest, OpeningFailsOnAnUntrustedServerOrPastTheLimit) {
    FakeRelay stranger(TestCertificateAuthority{});
    const auto untrusted = WebSocket::create(context_, stranger.socketUrl(), {});
    untrusted->resume();
    const std::string failure = failureOf(*untrusted);
    EXPECT_NE(failure.find("certificate verify failed"), std::string::npos) << failure;
    EXPECT_EQ(untrusted->handshakeStatus(), std::nullopt);
    EXPECT_TRUE(stranger.upgrades().empty());

    relay.scriptUpgrades({UpgradeAnswer::never()});
    const auto silent = socket(1 << 20, 1s);
    auto hello = sent(*silent, "hello");
    silent->resume();
    EXPECT_EQ(awaited(std::move(hello)), "The socket was closed due to a timeout");
    EXPECT_EQ(silent->handshakeStatus(), std::nullopt);
}

} // namespace
