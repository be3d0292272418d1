#include "agent-core/relay/Connection.hpp"
#include "agent-core/relay/RelayURL.hpp"
#include "platform/json/Writer.hpp"
#include "tests/support/FakeRelay.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <future>
#include <mutex>
#include <optional>

namespace kestrava {
namespace {

using Clock = std::chrono::steady_clock;

// Hands one event at a time from the connection's thread to the benchmark's.
class Signal {
public:
    void fire() {
        const std::lock_guard guard(lock_);
        if (waiting_) {
            waiting_->set_value(Clock::now());
            waiting_.reset();
        }
    }
    std::future<Clock::time_point> arm() {
        const std::lock_guard guard(lock_);
        waiting_.emplace();
        return waiting_->get_future();
    }

private:
    std::mutex lock_;
    std::optional<std::promise<Clock::time_point>> waiting_;
};

std::shared_ptr<Connection> connectionTo(const test::FakeRelay& relay, Signal& connected, Signal& received) {
    auto connection =
        Connection::create(relayWebSocketURL(relay.baseUrl(), "bench-device"), "bench-token", "Bench");
    Connection::Callbacks callbacks;
    callbacks.onConnected = [&connected] { connected.fire(); };
    callbacks.onMessage = [&received](const AgentIn&) { received.fire(); };
    connection->setCallbacks(std::move(callbacks));
    return connection;
}

// From start() to the first message (the relay's pong): resolution, TCP, TLS, upgrade, hello and ping.
void connectToRelay(benchmark::State& state) {
    test::FakeRelay relay;
    Signal connected;
    Signal received;
    for (auto _ : state) {
        const auto connection = connectionTo(relay, connected, received);
        auto done = connected.arm();
        const auto started = Clock::now();
        connection->start();
        state.SetIterationTime(std::chrono::duration<double>(done.get() - started).count());
        connection->stop();
    }
}
BENCHMARK(connectToRelay)->UseManualTime()->Unit(benchmark::kMillisecond);

// One e2e message from the agent to the relay, and one from the relay back to the agent's onMessage.
void e2eRoundTrip(benchmark::State& state) {
    test::FakeRelay relay;
    Signal connected;
    Signal received;
    const auto connection = connectionTo(relay, connected, received);
    auto ready = connected.arm();
    connection->start();
    ready.get();

    const Bytes box(static_cast<std::size_t>(state.range(0)), 0x5A);
    std::int64_t sequence = 0;
    for (auto _ : state) {
        const std::string rid = "rid-" + std::to_string(sequence++);
        auto answered = received.arm();
        connection->send(AgentOut{AgentOut::E2E{"phone-1", rid, box}});
        // The relay keeps every frame: compare only the beginning, where the rid stands.
        const std::string start = R"({"t":"e2e","phoneId":"phone-1","rid":")" + rid + "\"";
        const auto frame =
            relay.waitForFrame([&](const test::RelayFrame& f) { return f.data.starts_with(start); });
        if (!frame) {
            state.SkipWithError("the relay never received the message");
            break;
        }
        relay.sendText(json::write(AgentIn{AgentIn::E2E{"phone-1", rid, box}}.encode(), {}));
        answered.get();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0) * 2);
}
BENCHMARK(e2eRoundTrip)->Arg(512)->Arg(64 * 1024)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace kestrava
