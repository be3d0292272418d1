#include "agent-core/exec/Executor.hpp"

#include "agent-core/exec/ShellJob.hpp"
#include "agent-core/runtime/GlobalQueue.hpp"
#include "platform/files/UserFolders.hpp"
#include "platform/process/GroupLeaderSpawn.hpp"
#include "platform/process/Pipe.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <benchmark/benchmark.h>
#include <boost/asio/use_future.hpp>

#include <array>
#include <atomic>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kestrava {
namespace {

constexpr std::int64_t mebibyte = 1048576;

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
            pipe ? process::spawnGroupLeader(shell, {shell, "-lc", "head -c 1048576 /dev/zero"},
                                             files::homeDirectory(), pipe->writeEnd.get(), STDERR_FILENO)
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
        const auto job = std::make_shared<ShellJob>("head -c 1048576 /dev/zero", 10, mebibyte, count,
                                                    Executor::permissionHintDelay, [] { return true; });
        benchmark::DoNotOptimize(job->run());
    }
    if (received != static_cast<std::int64_t>(state.iterations()) * mebibyte) {
        state.SkipWithError("output was lost");
    }
    state.SetBytesProcessed(received);
}
BENCHMARK(streamOneMebibyte)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace kestrava
