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

#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <condition_variable>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
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

// Shuts `socket` down after a while unless dismissed first: what frees a thread that waits on it for ever.
class Unsticker {
public:
    explicit Unsticker(int socket)
        : thread_([this, socket] {
              std::unique_lock held(lock_);
              if (!dismissed_.wait_for(held, 5s, [&] { return done_; })) {
                  fired_ = true;
                  ::shutdown(socket, SHUT_RDWR);
              }
          }) {}
    ~Unsticker() { dismiss(); }

    // Whether it had to free the thread.
    bool dismiss() {
        {
            const std::lock_guard held(lock_);
            done_ = true;
        }
        dismissed_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
        return fired_;
    }

private:
    std::mutex lock_;
    std::condition_variable dismissed_;
    bool done_ = false;
    bool fired_ = false;
    std::thread thread_;
};

// An agent that accepts and never reads holds the interface thread nowhere: a timer of its own keeps
// firing, one call a tick, through a thousand calls; each of them ends with the time-out, and the
// connection that takes no more is dropped and made again after the back-off; the client ends at once
// with calls still unwritten.
TEST_F(SocketTransportTest, AnAgentThatStopsReadingHoldsNothingUp) {
    test::ensureQtApplication();
    const auto listening = net::listenLocal(path, 4);
    std::vector<test::Started<app::AgentResult<bool>>> calls;
    // One call a tick of the interface thread's timer until `count` more were made; false when a tick
    // was held up until the agent's end had to be shut.
    const auto callEveryTick = [&](int count, int agentEnd) {
        const std::size_t target = calls.size() + static_cast<std::size_t>(count);
        Unsticker unsticker(agentEnd);
        QTimer ticks;
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            if (calls.size() < target) {
                calls.emplace_back(client->hasFullDiskAccess());
            }
        });
        ticks.start(0);
        const bool made = settle([&] { return calls.size() == target; });
        return made && !unsticker.dismiss();
    };

    calls.emplace_back(client->hasFullDiskAccess());
    const auto stuck = net::acceptLocal(listening.get()).value();
    ASSERT_TRUE(callEveryTick(999, stuck.get()));
    scheduler.advance(app::AgentClient::timeout);
    const auto allEnded = [&] {
        return std::all_of(calls.begin(), calls.end(), [](const auto& call) { return call.done(); });
    };
    ASSERT_TRUE(settle(allEnded));
    // The first to time out drops the connection, which fails those still in flight.
    EXPECT_EQ(calls.front().result().error(), AgentClientError::timeout());
    for (const auto& call : calls) {
        const Kind kind = call.result().error().kind;
        ASSERT_TRUE(kind == Kind::timeout || kind == Kind::connection) << call.result().error().text;
    }
    EXPECT_EQ(client->liveConnection(), 0);

    const auto again = test::Started(client->hasFullDiskAccess());
    scheduler.advance(app::AgentClient::backoff(1));
    const auto fresh = net::acceptLocal(listening.get()).value();
    const auto request = ControlRequest::decode(readControlFrame(fresh.get()).value());
    ASSERT_TRUE(writeControlFrame(fresh.get(), ControlReply{request.id, {true}}.encode()));
    ASSERT_TRUE(settle([&] { return again.done(); }));
    EXPECT_TRUE(again.result().value());
    EXPECT_EQ(client->liveConnection(), 2);

    // The agent stops reading again, and the application quits: its calls end, and the connection goes
    // with its writer still waiting on the agent.
    ASSERT_TRUE(callEveryTick(1000, fresh.get()));
    Unsticker unsticker(fresh.get());
    const std::weak_ptr<app::AgentClient> quitting = std::exchange(client, nullptr);
    scheduler.advance(app::AgentClient::timeout);
    ASSERT_TRUE(settle([&] { return allEnded() && quitting.expired(); }));
    EXPECT_FALSE(unsticker.dismiss());
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
