#include "platform/time/Timestamp.hpp"
#include "protocol-kit/CommandVerifier.hpp"
#include "protocol-kit/MemoryNonceStore.hpp"
#include "tests/support/TestPhone.hpp"

#include <benchmark/benchmark.h>

#include <memory>

namespace kestrava {
namespace {

// One verifier per command, as the agent builds it; a fresh store each time so the nonce is never a replay.
void verifyOneSignedCommand(benchmark::State& state) {
    const auto phone = test::TestPhone::fixed();
    const Timestamp now = wallClockNow();
    const SignedCommand command =
        phone.command("bench-1", CommandKind::exec, "uptime", 30, now, "bench-device", "bench-phone");
    const crypto::P256PublicKey key = phone.signingKey().publicKey();
    for (auto _ : state) {
        const CommandVerifier verifier("bench-device", "bench-phone", key,
                                       std::make_shared<MemoryNonceStore>());
        verifier.verify(command, now);
    }
}
BENCHMARK(verifyOneSignedCommand)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace kestrava
