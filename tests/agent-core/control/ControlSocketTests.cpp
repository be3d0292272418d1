#include "agent-core/control/AgentXPCClient.hpp"
#include "agent-core/control/AgentXPCListener.hpp"
#include "agent-core/control/ControlFrames.hpp"
#include "agent-core/control/ControlSocketPath.hpp"
#include "agent-core/control/XPCCoding.hpp"
#include "platform/bytes/Bytes.hpp"
#include "platform/net/LocalSocket.hpp"
#include "tests/support/AgentProcess.hpp"
#include "tests/support/CapturedLog.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

// The seam the control socket serves: an agent that records what it was asked and answers as set.
class RecordingAgent : public AgentControl {
public:
    std::optional<std::string> status() override { return count("status"), statusText; }
    std::optional<OpenedPairing> openPairing() override { return count("openPairing"), opened; }
    void cancelPairing() override { count("cancelPairing"); }
    PairingOutcome decide(const std::string& requestId, bool approve) override {
        count("decide " + requestId + (approve ? " true" : " false"));
        return {PairingOutcome::Approved{"phone-9"}};
    }
    std::optional<std::string> phones() override { return count("phones"), std::optional<std::string>("[]"); }
    bool revoke(const std::string& phoneId) override { return count("revoke " + phoneId), true; }
    void setMonitoringPaused(bool paused) override { count(paused ? "pause" : "resume"); }
    bool reregister() override { return count("reregister"), true; }
    std::optional<std::string> pendingPairing() override { return count("pendingPairing"), std::nullopt; }

    int calls(const std::string& what) {
        const std::lock_guard held(lock_);
        return static_cast<int>(std::count(calls_.begin(), calls_.end(), what));
    }
    bool waitForCalls(const std::string& what, int times) {
        std::unique_lock held(lock_);
        return called_.wait_for(held, 10s,
                                [&] { return std::count(calls_.begin(), calls_.end(), what) >= times; });
    }

    std::optional<std::string> statusText = R"({"a":"\/"})";
    std::optional<OpenedPairing> opened = OpenedPairing{"kestrava://pair?v=1", 1765200000000};

private:
    void count(const std::string& what) {
        {
            const std::lock_guard held(lock_);
            calls_.push_back(what);
        }
        called_.notify_all();
    }

    std::mutex lock_;
    std::condition_variable called_;
    std::vector<std::string> calls_;
};

// A thread moved into a task group of its own that admits no further task, so that nothing it starts can
// run; moved back at the end. Needs root and the process-number controller.
class NoMoreTasks {
public:
    explicit NoMoreTasks(pid_t thread) : thread_(thread) {
        std::error_code error;
        std::filesystem::create_directory(group_, error);
        placed_ = !error && put(group_ / "pids.max", "1") && put(group_ / "tasks", std::to_string(thread_));
    }
    ~NoMoreTasks() {
        put(root / "tasks", std::to_string(thread_));
        std::error_code error;
        std::filesystem::remove(group_, error);
    }
    NoMoreTasks(const NoMoreTasks&) = delete;
    NoMoreTasks& operator=(const NoMoreTasks&) = delete;

    bool placed() const { return placed_; }

private:
    static inline const std::filesystem::path root = "/sys/fs/cgroup/pids";

    static bool put(const std::filesystem::path& file, const std::string& text) {
        std::ofstream out(file);
        out << text;
        out.flush();
        return static_cast<bool>(out);
    }

    const pid_t thread_;
    const std::filesystem::path group_ = root / ("kestrava-test-" + std::to_string(::getpid()));
    bool placed_ = false;
};

// The threads of this process.
std::set<pid_t> ownThreads() {
    std::set<pid_t> threads;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        threads.insert(std::stoi(entry.path().filename().string()));
    }
    return threads;
}

// A listener in service mode in a runtime folder of the test's own, serving a recording agent.
class ControlSocketTest : public testing::Test {
protected:
    void listen(std::optional<std::filesystem::path> admitted = test::thisProgram()) {
        listener.emplace(agent, AgentXPCListener::Settings{.serviceMode = true,
                                                           .peerExecutable = std::move(admitted),
                                                           .fullDiskAccess = [] { return true; }});
        listener->start();
    }

    std::filesystem::path socketPath() const { return ControlSocketPath::current().path.value(); }

    process::Descriptor rawConnection() const { return net::connectLocal(socketPath()); }

    // The next frame's bytes on `socket`; none when the agent closed it.
    static std::optional<std::string> reply(const process::Descriptor& socket) {
        return readControlFrame(socket.get());
    }

    // A frame's bytes, with any length.
    static std::string frame(std::uint32_t length, const std::string& body) {
        std::string bytes{static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                          static_cast<char>(length >> 8), static_cast<char>(length)};
        return bytes + body;
    }

    static void call(const process::Descriptor& socket, std::int64_t id, const std::string& method,
                     json::Array arguments) {
        ASSERT_TRUE(
            writeControlFrame(socket.get(), ControlRequest{id, method, std::move(arguments)}.encode()));
    }

    test::CapturedLog log;
    test::TemporaryDirectory runtime;
    test::EnvironmentOverride runtimeVariable{"XDG_RUNTIME_DIR", runtime.path().string()};
    std::shared_ptr<RecordingAgent> agent = std::make_shared<RecordingAgent>();
    std::optional<AgentXPCListener> listener;
};

// Every method reaches the agent with its arguments, and every reply comes back as the contract writes it.
TEST_F(ControlSocketTest, EachMethodCrossesTheSocket) {
    listen();
    const auto socket = rawConnection();
    struct Row {
        std::string method;
        json::Array arguments;
        std::optional<std::string> reply; // none for a one-way method
        std::string agentCall;
    };
    const std::vector<Row> rows{
        {"statusWithReply:", {}, R"({"id":1,"r":["{\"a\":\"\\\/\"}"]})", "status"},
        {"openPairingWithReply:",
         {},
         R"({"id":2,"r":["kestrava:\/\/pair?v=1",1765200000000]})",
         "openPairing"},
        {"cancelPairing", {}, std::nullopt, "cancelPairing"},
        {"decideWithRequestId:approve:reply:",
         {"req-1", true},
         R"({"id":4,"r":["{\"ok\":true,\"phoneId\":\"phone-9\"}"]})",
         "decide req-1 true"},
        {"phonesWithReply:", {}, R"({"id":5,"r":["[]"]})", "phones"},
        {"revokeWithPhoneId:reply:", {"phone-1"}, R"({"id":6,"r":[true]})", "revoke phone-1"},
        {"setMonitoringPaused:", {true}, std::nullopt, "pause"},
        {"reregisterWithReply:", {}, R"({"id":8,"r":[true]})", "reregister"},
        {"hasFullDiskAccessWithReply:", {}, R"({"id":9,"r":[true]})", ""},
        {"pendingPairingWithReply:", {}, R"({"id":10,"r":[null]})", "pendingPairing"},
    };
    std::int64_t id = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.method);
        call(socket, ++id, row.method, row.arguments);
        if (row.reply) {
            EXPECT_EQ(reply(socket), row.reply);
        }
        if (!row.agentCall.empty()) {
            EXPECT_TRUE(agent->waitForCalls(row.agentCall, 1));
        }
    }
    // The agent gone: the fixed answers, and the probe still answers.
    agent.reset();
    call(socket, 11, "statusWithReply:", {});
    EXPECT_EQ(reply(socket), R"({"id":11,"r":[null]})");
    call(socket, 12, "openPairingWithReply:", {});
    EXPECT_EQ(reply(socket), R"({"id":12,"r":[null,0]})");
    call(socket, 13, "decideWithRequestId:approve:reply:", {"req-1", false});
    EXPECT_EQ(reply(socket), R"({"id":13,"r":["{\"error\":\"notPending\",\"ok\":false}"]})");
    call(socket, 14, "revokeWithPhoneId:reply:", {"phone-1"});
    EXPECT_EQ(reply(socket), R"({"id":14,"r":[false]})");
    call(socket, 15, "hasFullDiskAccessWithReply:", {});
    EXPECT_EQ(reply(socket), R"({"id":15,"r":[true]})");
}

// A frame or call that breaks the rules closes that connection only; the agent goes on serving the others.
TEST_F(ControlSocketTest, BrokenFramesCloseOnlyTheirConnection) {
    listen();
    const auto bystander = rawConnection();
    const auto request = [](const std::string& json) {
        return std::string{0, 0, static_cast<char>(json.size() >> 8), static_cast<char>(json.size())} + json;
    };
    const std::vector<std::pair<std::string, std::string>> broken{
        {"length 0", frame(0, "")},
        {"over 1 MiB", frame(maxControlFrame + 1, "{}")},
        {"not JSON", request("status please")},
        {"not an object", request("[1,2]")},
        {"an unknown method", request(R"({"a":[],"id":1,"m":"formatDisk:"})")},
        {"a wrong argument type",
         request(R"({"a":["req-1","true"],"id":7,"m":"decideWithRequestId:approve:reply:"})")},
        {"too few arguments", request(R"({"a":[],"id":7,"m":"revokeWithPhoneId:reply:"})")},
        {"an id of 0", request(R"({"a":[],"id":0,"m":"statusWithReply:"})")},
        {"an id past 2^53 - 1", request(R"({"a":[],"id":9007199254740992,"m":"statusWithReply:"})")},
    };
    for (const auto& [name, bytes] : broken) {
        SCOPED_TRACE(name);
        const auto socket = rawConnection();
        ASSERT_TRUE(net::writeAll(socket.get(), bytesOf(bytes)));
        EXPECT_EQ(reply(socket), std::nullopt) << "closed without a reply";
        call(bystander, 1, "statusWithReply:", {});
        EXPECT_TRUE(reply(bystander).has_value());
    }
    EXPECT_EQ(agent->calls("decide req-1 true"), 0);
}

TEST_F(ControlSocketTest, OnlyTheApplicationsProgramOfThisUserIsServed) {
    listen("/bin/true");
    const auto refused = rawConnection();
    EXPECT_EQ(reply(refused), std::nullopt);
    EXPECT_TRUE(log.waitFor("ERROR XPC: rejected peer pid " + std::to_string(::getpid()) + " uid " +
                            std::to_string(::geteuid()) + " (signature ok: false)"));

    // The right program running as another user is refused too (root can be another user here).
    if (::geteuid() != 0) {
        GTEST_SKIP() << "another user needs root";
    }
    listener.reset();
    listen();
    ::chmod(runtime.path().c_str(), 0711);
    ::chmod(socketPath().c_str(), 0666);
    const std::string path = socketPath().string();
    const pid_t child = ::fork();
    if (child == 0) {
        // Only async-signal-safe calls after fork in a threaded program.
        if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0) {
            ::_exit(2);
        }
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), path.size());
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::_exit(3);
        }
        char byte = 0;
        ::_exit(::read(fd, &byte, 1) == 0 ? 0 : 4);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the connection was closed unanswered";
    EXPECT_TRUE(log.waitFor("ERROR XPC: rejected peer pid " + std::to_string(child) +
                            " uid 65534 (signature ok: true)"));
}

// A client that opened the pairing window and goes away closes it, once; one that decided first does not.
TEST_F(ControlSocketTest, AClientThatOpenedPairingAndWentAwayCancelsIt) {
    listen();
    {
        const auto opener = rawConnection();
        call(opener, 1, "openPairingWithReply:", {});
        ASSERT_TRUE(reply(opener).has_value());
    }
    EXPECT_TRUE(agent->waitForCalls("cancelPairing", 1));
    {
        const auto decider = rawConnection();
        call(decider, 1, "openPairingWithReply:", {});
        ASSERT_TRUE(reply(decider).has_value());
        call(decider, 2, "decideWithRequestId:approve:reply:", {"req-1", false});
        ASSERT_TRUE(reply(decider).has_value());
    }
    {
        // A window that did not open sets nothing to close.
        agent->opened.reset();
        const auto unlucky = rawConnection();
        call(unlucky, 1, "openPairingWithReply:", {});
        EXPECT_EQ(reply(unlucky), R"({"id":1,"r":[null,0]})");
    }
    const auto witness = rawConnection();
    call(witness, 1, "statusWithReply:", {});
    ASSERT_TRUE(reply(witness).has_value());
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(agent->calls("cancelPairing"), 1);
}

TEST_F(ControlSocketTest, TheSeventeenthConnectionIsClosed) {
    listen();
    std::vector<process::Descriptor> served;
    for (std::size_t i = 0; i < AgentXPCListener::maxConnections; ++i) {
        served.push_back(rawConnection());
        call(served.back(), 1, "statusWithReply:", {});
        ASSERT_TRUE(reply(served.back()).has_value());
    }
    const auto extra = rawConnection();
    EXPECT_EQ(reply(extra), std::nullopt);
    EXPECT_TRUE(log.waitFor("WARN XPC: already serving 16 connections; closing a new one"));

    // A slot frees once a closed connection has been noticed.
    served.pop_back();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    bool servedAgain = false;
    while (!servedAgain && std::chrono::steady_clock::now() < deadline) {
        // Refused ones are closed at once: the write may fail, and then no reply comes.
        const auto another = rawConnection();
        writeControlFrame(another.get(), ControlRequest{1, "statusWithReply:", {}}.encode());
        servedAgain = reply(another).has_value();
    }
    EXPECT_TRUE(servedAgain);
}

// The client end: replies are matched to their calls by id, one-way calls expect none, and when the
// connection fails every call in flight and every later one gets the error instead.
TEST_F(ControlSocketTest, TheClientMatchesRepliesAndFailsWhatIsInFlight) {
    const auto path = runtime / "scripted";
    const auto listening = net::listenLocal(path, 1);
    AgentXPCClient client(path);
    const auto server = std::make_shared<process::Descriptor>(net::acceptLocal(listening.get()).value());
    const auto unexpected = [](const std::string& reason) { ADD_FAILURE() << reason; };

    std::promise<std::optional<std::string>> status;
    std::promise<bool> revoked;
    std::promise<std::string> phonesLost;
    client.status([&](std::optional<std::string> text) { status.set_value(text); }, unexpected);
    client.setMonitoringPaused(true);
    client.revoke(
        "phone-1", [&](bool done) { revoked.set_value(done); }, unexpected);
    client.phones([](std::optional<std::string>) { ADD_FAILURE(); },
                  [&](const std::string& reason) { phonesLost.set_value(reason); });

    std::vector<ControlRequest> requests;
    for (int i = 0; i < 4; ++i) {
        requests.push_back(ControlRequest::decode(readControlFrame(server->get()).value()));
    }
    EXPECT_EQ(requests[0].method, "statusWithReply:");
    EXPECT_EQ(requests[1].method, "setMonitoringPaused:");
    EXPECT_EQ(requests[1].arguments, json::Array{true});
    EXPECT_EQ(requests[2].arguments, json::Array{"phone-1"});
    EXPECT_NE(requests[0].id, requests[2].id);

    // Out of order: the client matches by id.
    ASSERT_TRUE(writeControlFrame(server->get(), ControlReply{requests[2].id, {true}}.encode()));
    ASSERT_TRUE(writeControlFrame(server->get(), ControlReply{requests[0].id, {"{}"}}.encode()));
    EXPECT_TRUE(revoked.get_future().get());
    EXPECT_EQ(status.get_future().get(), "{}");

    server->reset();
    EXPECT_FALSE(phonesLost.get_future().get().empty());
    std::promise<std::string> laterLost;
    client.reregister([](bool) { ADD_FAILURE(); },
                      [&](const std::string& reason) { laterLost.set_value(reason); });
    EXPECT_FALSE(laterLost.get_future().get().empty());

    AgentXPCClient nowhere(runtime / "nobody-listens");
    std::promise<std::string> neverConnected;
    nowhere.hasFullDiskAccess([](bool) { ADD_FAILURE(); },
                              [&](const std::string& reason) { neverConnected.set_value(reason); });
    EXPECT_NE(neverConnected.get_future().get().find("connect"), std::string::npos);
}

// A client let go inside one of its callbacks, or by dropping a callback that held the last reference to
// it, has told every call and its own end by the time its destructor returns, and calls nothing after.
TEST_F(ControlSocketTest, NothingIsCalledAfterTheClientIsGone) {
    const auto path = runtime / "scripted";
    const auto listening = net::listenLocal(path, 1);
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> heard;
    const auto hear = [&](const std::string& what) {
        {
            const std::lock_guard held(lock);
            heard.push_back(what);
        }
        changed.notify_all();
    };
    // Everything heard once each of `awaited` is, or when waiting for them took too long.
    const auto heardUntil = [&](const std::vector<std::string>& awaited) {
        std::unique_lock held(lock);
        changed.wait_for(held, 10s, [&] {
            return std::ranges::all_of(awaited,
                                       [&](const auto& what) { return std::ranges::count(heard, what); });
        });
        return std::exchange(heard, {});
    };

    // Let go inside the first reply, while two more replies wait in the socket and a fourth call waits.
    auto client = std::make_unique<AgentXPCClient>(path, [&](const std::string&) { hear("closed"); });
    const auto server = net::acceptLocal(listening.get()).value();
    for (int call = 1; call <= 4; ++call) {
        client->status(
            [&, call](std::optional<std::string>) {
                hear("reply " + std::to_string(call));
                if (call == 1) {
                    client.reset();
                    hear("gone");
                }
            },
            [&, call](const std::string&) { hear("error " + std::to_string(call)); });
    }
    std::string replies;
    for (int call = 1; call <= 4; ++call) {
        const auto request = ControlRequest::decode(readControlFrame(server.get()).value());
        if (call <= 3) {
            const std::string reply = ControlReply{request.id, {"{}"}}.encode();
            replies += frame(static_cast<std::uint32_t>(reply.size()), reply);
        }
    }
    ASSERT_TRUE(net::writeAll(server.get(), bytesOf(replies)));
    EXPECT_EQ(heardUntil({"gone", "closed"}),
              (std::vector<std::string>{"reply 1", "error 2", "error 3", "error 4", "closed", "gone"}));

    // The last reference in a one-way call's callback, let go by the writing thread once the call is sent.
    auto shared = std::make_shared<AgentXPCClient>(path, [&](const std::string&) { hear("closed"); });
    AgentXPCClient* const raw = shared.get();
    raw->setMonitoringPaused(true, [&, owner = std::move(shared)](const std::string&) { hear("error"); });
    const auto second = net::acceptLocal(listening.get()).value();
    EXPECT_TRUE(readControlFrame(second.get()).has_value());
    EXPECT_EQ(heardUntil({"closed"}), std::vector<std::string>{"closed"}) << "destroyed under its own lock";
}

// No thread can be started for a new connection: it is closed, and its descriptor number leaves the set
// of served connections at once.
TEST_F(ControlSocketTest, AConnectionWithoutAThreadLeavesNothingBehind) {
    const std::set<pid_t> before = ownThreads();
    listen();
    std::vector<pid_t> started;
    std::ranges::set_difference(ownThreads(), before, std::back_inserter(started));
    ASSERT_EQ(started.size(), 1u) << "the accepting thread";
    {
        const NoMoreTasks confined(started.front());
        if (!confined.placed()) {
            GTEST_SKIP() << "a task group needs root and the process-number controller";
        }
        const auto refused = rawConnection();
        EXPECT_EQ(reply(refused), std::nullopt);
        ASSERT_TRUE(log.waitFor("ERROR XPC: Resource temporarily unavailable"));
    }
    // A number left in the set of served connections would be waited for, and shut down whatever now
    // holds it.
    const auto start = std::chrono::steady_clock::now();
    listener->invalidate();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

// Far more calls in flight than the socket holds, with long replies: the agent writes replies while the
// client still writes calls, and both go on.
TEST_F(ControlSocketTest, ManyCallsInFlightNeverStallTheClient) {
    agent->statusText = std::string(64 * 1024, 'x');
    listen();
    AgentXPCClient client(socketPath());
    constexpr int calls = 2000;
    std::atomic<int> answered{0};
    std::promise<void> allAnswered;
    std::thread caller([&] {
        for (int i = 0; i < calls; ++i) {
            client.status(
                [&](std::optional<std::string>) {
                    if (++answered == calls) {
                        allAnswered.set_value();
                    }
                },
                [](const std::string&) {});
        }
    });
    const bool done = allAnswered.get_future().wait_for(20s) == std::future_status::ready;
    // Frees a caller that waits on the agent for ever.
    listener->invalidate();
    caller.join();
    EXPECT_TRUE(done) << answered << " of " << calls << " answered";
}

TEST(ControlSocketPath, FromTheRuntimeFolderOrTheUsersPrivateOne) {
    test::TemporaryDirectory run;
    const auto privateFolder = run / std::to_string(::geteuid());
    std::filesystem::create_directory(privateFolder);
    const std::string name = "com.example.agent.xpc";

    EXPECT_EQ(ControlSocketPath::in("/tmp/xdg", ::geteuid(), name, run.path()).path, "/tmp/xdg/" + name);
    ::chmod(privateFolder.c_str(), 0700);
    EXPECT_EQ(ControlSocketPath::in(std::nullopt, ::geteuid(), name, run.path()).path, privateFolder / name);
    EXPECT_EQ(ControlSocketPath::in("relative/run", ::geteuid(), name, run.path()).path,
              privateFolder / name);
    ::chmod(privateFolder.c_str(), 0750);
    const ControlSocketPath shared = ControlSocketPath::in(std::nullopt, ::geteuid(), name, run.path());
    EXPECT_FALSE(shared.path.has_value());
    EXPECT_NE(shared.whyNone.find("is not a private folder of this user"), std::string::npos);
    EXPECT_FALSE(ControlSocketPath::in(std::nullopt, ::geteuid() + 1, name, run.path()).path.has_value());

    const std::string deep = "/" + std::string(100, 'd');
    EXPECT_FALSE(ControlSocketPath::in(deep, ::geteuid(), name).path.has_value());
    EXPECT_TRUE(ControlSocketPath::in("/" + std::string(107 - name.size() - 2, 'd'), ::geteuid(), name).path);
}

} // namespace
} // namespace kestrava
