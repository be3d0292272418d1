#include "protocol-kit/E2E.hpp"

#include <benchmark/benchmark.h>

namespace kestrava {
namespace {

const crypto::SymmetricKey key{9, 8, 7, 6, 5, 4, 3, 2, 1};

E2EPayload outputOf(std::int64_t size) {
    return {E2EPayload::Out{"bench-command", "stdout", std::string(static_cast<std::size_t>(size), 'x')}};
}

void sealOutput(benchmark::State& state) {
    const E2EPayload payload = outputOf(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(E2E::seal(payload, key, Direction::m2p, "bench-device", "bench-phone"));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(sealOutput)->Arg(1024)->Arg(64 * 1024)->Unit(benchmark::kMicrosecond);

void openOutput(benchmark::State& state) {
    const Bytes box = E2E::seal(outputOf(state.range(0)), key, Direction::m2p, "bench-device", "bench-phone");
    for (auto _ : state) {
        benchmark::DoNotOptimize(E2E::open(box, key, Direction::m2p, "bench-device", "bench-phone"));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(openOutput)->Arg(1024)->Arg(64 * 1024)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace kestrava
