#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"
#include "protocol-kit/AgentIn.hpp"

#include <benchmark/benchmark.h>

namespace kestrava {
namespace {

// An e2e frame as the relay forwards a typical command: a box of a few hundred bytes.
AgentIn e2eFrame() {
    return {AgentIn::E2E{"6f1c2a9e-1d3b-4c55-9a0e-3b7f2d1c8e44", "rid-0001", Bytes(420, 0xA5)}};
}

void writeAgentIn(benchmark::State& state) {
    const AgentIn message = e2eFrame();
    for (auto _ : state) {
        benchmark::DoNotOptimize(json::write(message.encode(), {}));
    }
}
BENCHMARK(writeAgentIn)->Unit(benchmark::kMicrosecond);

void readAgentIn(benchmark::State& state) {
    const std::string text = json::write(e2eFrame().encode(), {});
    for (auto _ : state) {
        benchmark::DoNotOptimize(AgentIn::decode(json::ObjectReader(json::parse(text))));
    }
}
BENCHMARK(readAgentIn)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace kestrava
