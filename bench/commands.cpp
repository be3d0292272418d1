// A command's cost, layer by layer: the shell alone, the executor, the session a phone's command goes
// through; and the same for a mebibyte of output.
#include "agent-core/exec/Executor.hpp"
#include "agent-core/exec/ShellJob.hpp"
#include "agent-core/runtime/GlobalQueue.hpp"
#include "agent-core/session/Session.hpp"
#include "platform/files/UserFolders.hpp"
#include "platform/process/GroupLeaderSpawn.hpp"
#include "platform/process/Pipe.hpp"
#include "platform/uuid/Uuid.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestPhone.hpp"

#include <benchmark/benchmark.h>
#include <boost/asio/use_future.hpp>

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kestrava {
namespace {

constexpr std::int64_t mebibyte = 1048576;
// A mebibyte of plain text, as commands print it (NUL bytes would cost the session six times as much
// JSON).
constexpr const char* printMebibyte = "head -c 1048576 /dev/zero | tr '\\0' a";

void ignoreOutput(std::string_view, std::string_view) {}

// Every login shell here starts in an empty home: the user's own profile can take far longer than
// everything measured here and would hide it.
void useEmptyHome() {
    static const test::TemporaryDirectory home;
    static const test::EnvironmentOverride variable("HOME", home.path().string());
}

// The shell alone: what every command costs before the agent adds anything.
void plainSpawnOfTheShell(benchmark::State& state) {
    useEmptyHome();
    std::string shell = ShellJob::shellPath();
    std::string flags = "-lc";
    std::string command = "true";
    char* argv[] = {shell.data(), flags.data(), command.data(), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawn(&pid, shell.c_str(), nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("the shell cannot be started");
            return;
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
}
BENCHMARK(plainSpawnOfTheShell)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same shell through the executor: strand hops, pipes, the job and reader threads, the waiting loop.
void executorRunsTrue(benchmark::State& state) {
    useEmptyHome();
    const auto executor = std::make_shared<Executor>(globalQueue().get_executor(), [] { return true; });
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            executor->run("bench/1", "true", 10, ignoreOutput, boost::asio::use_future).get());
    }
}
BENCHMARK(executorRunsTrue)->Unit(benchmark::kMillisecond)->UseRealTime();

// 1 MiB through a bare pipe read in blocking 16 KiB reads: what the system itself costs.
void plainReadOfOneMebibyte(benchmark::State& state) {
    useEmptyHome();
    const std::string shell = ShellJob::shellPath();
    std::array<char, ShellJob::readSize> buffer;
    std::int64_t received = 0;
    for (auto _ : state) {
        auto pipe = process::openPipe();
        const auto pid =
            pipe ? process::spawnGroupLeader(shell, {shell, "-lc", printMebibyte}, files::homeDirectory(),
                                             pipe->writeEnd.get(), STDERR_FILENO)
                 : std::nullopt;
        if (!pid) {
            state.SkipWithError("the shell cannot be started");
            return;
        }
        pipe->writeEnd.reset();
        for (ssize_t count; (count = ::read(pipe->readEnd.get(), buffer.data(), buffer.size())) > 0;) {
            received += count;
        }
        int status = 0;
        ::waitpid(*pid, &status, 0);
    }
    state.SetBytesProcessed(received);
}
BENCHMARK(plainReadOfOneMebibyte)->Unit(benchmark::kMillisecond)->UseRealTime();

// 1 MiB of output through the readers, the UTF-8 check and the chunking, up to the cap exactly.
void streamOneMebibyte(benchmark::State& state) {
    useEmptyHome();
    std::atomic<std::int64_t> received = 0;
    const auto count = [&](std::string_view, std::string_view text) {
        received += static_cast<std::int64_t>(text.size());
    };
    for (auto _ : state) {
        const auto job = std::make_shared<ShellJob>(printMebibyte, 10, mebibyte, count,
                                                    Executor::permissionHintDelay, [] { return true; });
        benchmark::DoNotOptimize(job->run());
    }
    if (received != static_cast<std::int64_t>(state.iterations()) * mebibyte) {
        state.SkipWithError("output was lost");
    }
    state.SetBytesProcessed(received);
}
BENCHMARK(streamOneMebibyte)->Unit(benchmark::kMillisecond)->UseRealTime();

// A paired phone and the session it talks to, with a relay link that only counts what it is handed and
// notes each completed exchange. The phone stays silent for `quiet` before each command (on the clock
// both sides read, which runs ahead of the real one by that much each time).
class PairedSession {
public:
    explicit PairedSession(std::chrono::seconds quiet = {})
        : quiet_(quiet), state_(std::make_shared<StateStore>(folder_ / "state.json")),
          session_(std::make_shared<Session>(
              deviceId, macKey_, state_,
              std::make_shared<Executor>(globalQueue().get_executor(), [] { return true; }),
              url::Url::parseReference("https://relay.example.com").value(), "Bench",
              [] { return StatusSnapshot{}; }, [this](const AgentOut& message) { relayed(message); },
              [this] { return now(); })) {
        state_->upsert(
            PairedPhone{phoneId, "Phone", phone_.signPub(), phone_.agreePub(), wallClockNow(), {}});
        state_->save();
    }

    // A fresh command from the phone, sealed as it sends it.
    AgentIn command(const std::string& cmd) {
        const std::string id = "b" + std::to_string(++commands_);
        ahead_ += quiet_.count();
        const SignedCommand signedCommand =
            phone_.command(id, CommandKind::exec, cmd, 30, now(), deviceId, phoneId);
        const auto key = phone_.sessionKey(macKey_.publicKey(), deviceId, phoneId);
        return AgentIn{AgentIn::E2E{
            phoneId, id,
            phone_.seal(E2EPayload{E2EPayload::Command{signedCommand}}, key, deviceId, phoneId)}};
    }

    // From handing the message to the session until its exchange is completed; false when it was refused.
    bool run(const AgentIn& message) {
        const std::string& rid = std::get<AgentIn::E2E>(message.value).rid;
        const auto job = session_->handle(message);
        if (!job) {
            return false;
        }
        (*job)();
        std::unique_lock held(lock_);
        completed_.wait(held, [&] { return completedRid_ == rid; });
        return true;
    }

    std::int64_t bytesRelayed() const {
        const std::lock_guard held(lock_);
        return bytesRelayed_;
    }

private:
    static constexpr const char* deviceId = "bench-mac";
    static constexpr const char* phoneId = "bench-phone";

    Timestamp now() const { return wallClockNow() + std::chrono::seconds(ahead_.load()); }

    void relayed(const AgentOut& message) {
        {
            const std::lock_guard held(lock_);
            if (const auto* e2e = std::get_if<AgentOut::E2E>(&message.value)) {
                bytesRelayed_ += static_cast<std::int64_t>(e2e->box.size());
            } else if (const auto* complete = std::get_if<AgentOut::Complete>(&message.value)) {
                completedRid_ = complete->rid;
            }
        }
        completed_.notify_all();
    }

    const std::chrono::seconds quiet_;
    std::atomic<std::chrono::seconds::rep> ahead_ = 0;
    test::TemporaryDirectory folder_;
    const crypto::P256PrivateKey macKey_ = crypto::P256PrivateKey::generate();
    const test::TestPhone phone_;
    const std::shared_ptr<StateStore> state_;
    const std::shared_ptr<Session> session_;
    int commands_ = 0;

    mutable std::mutex lock_;
    std::condition_variable completed_;
    std::string completedRid_;
    std::int64_t bytesRelayed_ = 0;
};

// A phone's "true" from the sealed message to the exchange's completion: opening, verification with the
// nonce written durably to the state file, the run, sealing and sending the result. Commands that come
// more than a minute apart, as a person sends them, also record the phone's last use.
void runTrue(benchmark::State& state, std::chrono::seconds quiet) {
    useEmptyHome();
    PairedSession paired(quiet);
    for (auto _ : state) {
        state.PauseTiming();
        const AgentIn message = paired.command("true");
        state.ResumeTiming();
        if (!paired.run(message)) {
            state.SkipWithError("the command was refused");
            return;
        }
    }
}

void sessionRunsTrue(benchmark::State& state) {
    runTrue(state, std::chrono::seconds(0));
}
BENCHMARK(sessionRunsTrue)->Unit(benchmark::kMillisecond)->UseRealTime();

void sessionRunsTrueAfterAQuietMinute(benchmark::State& state) {
    runTrue(state, std::chrono::seconds(61));
}
BENCHMARK(sessionRunsTrueAfterAQuietMinute)->Unit(benchmark::kMillisecond)->UseRealTime();

// A mebibyte of output chunked, sealed and handed to the relay link.
void sessionStreamsOneMebibyte(benchmark::State& state) {
    useEmptyHome();
    PairedSession paired;
    for (auto _ : state) {
        state.PauseTiming();
        const AgentIn message = paired.command(printMebibyte);
        state.ResumeTiming();
        if (!paired.run(message)) {
            state.SkipWithError("the command was refused");
            return;
        }
    }
    if (paired.bytesRelayed() < static_cast<std::int64_t>(state.iterations()) * mebibyte) {
        state.SkipWithError("output was lost");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * mebibyte);
}
BENCHMARK(sessionStreamsOneMebibyte)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace kestrava
