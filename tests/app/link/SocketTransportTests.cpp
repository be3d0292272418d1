#include "agent-core/control/ControlFrames.hpp"
#include "app/link/AgentClient.hpp"
#include "app/link/SocketTransport.hpp"
#include "platform/net/LocalSocket.hpp"
#include "tests/app-support/FakeAgentTransport.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using app::AgentClientError;
using Kind = AgentClientError::Kind;

// The application's client against a socket server of the test's own, on a virtual clock.
class SocketTransportTest : public testing::Test {
protected:
    ~SocketTransportTest() override {
        client.reset();
        scheduler.advance(1min);
    }

    // Runs what the socket's thread hands over until `done` holds.
    bool settle(const std::function<bool()>& done) {
        return test::runQtUntil(done, [&] { scheduler.runPosted(); });
    }

    test::TemporaryDirectory runtime;
    const std::filesystem::path path = runtime / "agent.xpc";
    test::VirtualScheduler scheduler;
    std::shared_ptr<app::AgentClient> client = app::AgentClient::make(
        std::make_shared<app::SocketTransport>(scheduler, [this] { return std::optional(path); }),
        std::make_shared<test::FakeNotifications>(), scheduler);
};

// A frame header announcing `length` bytes, and nothing after it.
void writeLength(int fd, std::uint32_t length) {
    const std::uint32_t network = htonl(length);
    net::writeAll(fd, std::span(reinterpret_cast<const std::uint8_t*>(&network), sizeof network));
}

// A frame that breaks the rules ends the connection: every call in flight fails once with a connection
// error, and the next call connects again after the back-off.
TEST_F(SocketTransportTest, ABrokenFrameFailsEveryCallInFlight) {
    const auto listening = net::listenLocal(path, 4);
    struct Row {
        std::string what;
        std::function<void(int server, const std::vector<ControlRequest>& requests)> answer;
    };
    const std::vector<Row> table{
        {"a length over 1 MiB", [](int server, auto&) { writeLength(server, (1 << 20) + 1); }},
        {"a length of 0", [](int server, auto&) { writeLength(server, 0); }},
        {"bytes that are not JSON", [](int server, auto&) { writeControlFrame(server, "{\"id\":1,"); }},
        {"a reply to no call",
         [](int server, auto&) {
             writeControlFrame(server, ControlReply{777, {true}}.encode());
         }},
        {"a reply of the wrong shape",
         [](int server, const auto& requests) {
             writeControlFrame(server, ControlReply{requests[0].id, {"{}", "{}"}}.encode());
         }},
        {"the agent going away", [](int, auto&) {}},
    };
    for (const auto& row : table) {
        const auto status = test::Started(client->status());
        const auto phones = test::Started(client->phones());
        const auto revoke = test::Started(client->revoke("p1"));
        scheduler.advance(5s); // the back-off after the row before
        auto server = net::acceptLocal(listening.get()).value();
        std::vector<ControlRequest> requests;
        for (int i = 0; i < 3; ++i) {
            requests.push_back(ControlRequest::decode(readControlFrame(server.get()).value()));
        }
        row.answer(server.get(), requests);
        if (row.what == "the agent going away") {
            server.reset();
        }
        ASSERT_TRUE(settle([&] { return status.done() && phones.done() && revoke.done(); })) << row.what;
        EXPECT_EQ(status.result().error().kind, Kind::connection) << row.what;
        EXPECT_EQ(phones.result().error().kind, Kind::connection) << row.what;
        EXPECT_EQ(revoke.result().error().kind, Kind::connection) << row.what;
    }
}

// The socket's folder is the user's own, but whoever listens there as another user is not the user's agent.
TEST_F(SocketTransportTest, APeerOfAnotherUserIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "another user needs root";
    }
    ::chmod(runtime.path().c_str(), 0777);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.native().copy(address.sun_path, sizeof address.sun_path - 1);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    // The child calls only what is safe after a fork of a program with threads.
    const pid_t child = ::fork();
    if (child == 0) {
        const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0 ||
            ::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listening, 1) != 0) {
            ::_exit(1);
        }
        (void)!::write(ready[1], "x", 1);
        (void)::accept(listening, nullptr, nullptr);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    const auto status = test::Started(client->status());
    ASSERT_TRUE(settle([&] { return status.done(); }));
    EXPECT_EQ(status.result().error(),
              AgentClientError::connection("the control socket's peer runs as uid 65534, not as this user"));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
}

} // namespace
} // namespace kestrava
