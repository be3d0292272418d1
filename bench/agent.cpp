// The whole agent program, as a phone and the machine see it: a command's round trip through the relay and
// the agent, the time from start to a connected relay link, and what an idle agent costs.
#include "tests/support/FakeRelay.hpp"
#include "tests/support/RelayPhone.hpp"
#include "tests/support/ServedAgent.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace kestrava {
namespace {

using Clock = std::chrono::steady_clock;

// A served agent, registered, connected and paired with one phone.
struct PairedAgent {
    PairedAgent() : served(relay), phone(relay) {
        ready = served.start() && served.waitUntilConnected() && served.pair(phone, "bench");
    }

    test::FakeRelay relay;
    test::ServedAgent served;
    test::RelayPhone phone;
    bool ready = false;
};

// A phone's "true" from the relay handing it over to the agent's completion arriving back at the relay:
// opening, verification with the nonce written durably, the run in the login shell, sealing, the relay hops.
// Compare with plainSpawnOfTheShell.
void agentRoundTripOfTrue(benchmark::State& state) {
    PairedAgent paired;
    if (!paired.ready) {
        state.SkipWithError("the agent did not come up");
        return;
    }
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string rid = "rt-" + std::to_string(++run);
        const std::string message = paired.phone.commandMessage(rid, rid, CommandKind::exec, "true");
        state.ResumeTiming();
        paired.relay.sendText(message);
        if (!paired.phone.waitForComplete(rid)) {
            state.SkipWithError("no completion");
            return;
        }
    }
}
BENCHMARK(agentRoundTripOfTrue)->Unit(benchmark::kMillisecond)->UseRealTime();

// From starting the program (with an identity already) to its relay link being up.
void agentStartToConnected(benchmark::State& state) {
    test::FakeRelay relay;
    test::ServedAgent served(relay);
    if (!served.start() || !served.waitUntilConnected()) {
        state.SkipWithError("the agent did not come up");
        return;
    }
    for (auto _ : state) {
        served.agent->signal(SIGTERM);
        served.agent->waitForExit();
        const auto started = Clock::now();
        test::AgentProcess agent(
            served.home.path(), {},
            test::AgentProcessOptions{
                .program = served.program, .asService = true, .environment = {}, .user = {}});
        if (!agent.waitForOutput("INFO connected")) {
            state.SkipWithError("no connection");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
        agent.signal(SIGTERM);
        agent.waitForExit();
        served.start();
    }
}
BENCHMARK(agentStartToConnected)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

// One kibibyte-valued field of /proc/<pid>/<file>: "Anonymous:", "Rss:", ...
double kibibytes(pid_t pid, const std::string& file, const std::string& field) {
    std::ifstream lines("/proc/" + std::to_string(pid) + "/" + file);
    std::string name;
    double value = 0;
    std::string unit;
    while (lines >> name) {
        if (name == field) {
            lines >> value;
            return value;
        }
        std::getline(lines, unit);
    }
    return 0;
}

// CPU time in clock ticks, and context switches of all threads (how often the agent woke).
struct Activity {
    long ticks = 0;
    long switches = 0;
};

Activity activityOf(pid_t pid) {
    Activity activity;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    for (int i = 1; i <= 15 && stat >> field; ++i) {
        if (i == 14 || i == 15) {
            activity.ticks += std::stol(field);
        }
    }
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        std::ifstream status(task.path() / "status");
        std::string name;
        while (status >> name) {
            if (name == "voluntary_ctxt_switches:" || name == "nonvoluntary_ctxt_switches:") {
                long count = 0;
                status >> count;
                activity.switches += count;
            }
        }
    }
    return activity;
}

// An agent connected with one paired phone and nothing to do, for a minute: its private memory, and its CPU
// time and wake-ups in that minute (the relay link's pings every 20 s and the status timer every 30 s).
void agentIdleMinute(benchmark::State& state) {
    PairedAgent paired;
    if (!paired.ready) {
        state.SkipWithError("the agent did not come up");
        return;
    }
    const pid_t pid = paired.served.agent->pid();
    // Past the status pushes that follow the pairing.
    std::this_thread::sleep_for(std::chrono::seconds(5));
    for (auto _ : state) {
        const Activity before = activityOf(pid);
        std::this_thread::sleep_for(std::chrono::seconds(60));
        const Activity after = activityOf(pid);
        state.counters["cpu_ms"] = 1000.0 * static_cast<double>(after.ticks - before.ticks) /
                                   static_cast<double>(::sysconf(_SC_CLK_TCK));
        state.counters["wakeups"] = static_cast<double>(after.switches - before.switches);
    }
    state.counters["private_KiB"] = kibibytes(pid, "smaps_rollup", "Anonymous:");
    state.counters["rss_KiB"] = kibibytes(pid, "smaps_rollup", "Rss:");
}
BENCHMARK(agentIdleMinute)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace
} // namespace kestrava
