#include "platform/crypto/CryptoError.hpp"
#include "platform/json/DecodeError.hpp"
#include "protocol-kit/E2E.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace kestrava;

namespace {

const crypto::SymmetricKey key{1, 2, 3, 4, 5, 6, 7, 8};

} // namespace

// The input is tried as a box from the relay, and, sealed under the pair's key, as an authentic
// plaintext from a phone: opening fails only with its own errors, and whatever opens seals again to a
// box that opens to the same payload.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteView input(data, size);
    const Bytes authentic = crypto::AesGcm::seal(key, input, bytesOf("KV1|p2m|device|phone"));
    for (const ByteView box : {input, ByteView(authentic)}) {
        try {
            const E2EPayload payload = E2E::open(box, key, Direction::p2m, "device", "phone");
            const Bytes again = E2E::seal(payload, key, Direction::m2p, "device", "phone");
            if (!(E2E::open(again, key, Direction::m2p, "device", "phone") == payload)) {
                std::abort();
            }
        } catch (const crypto::CryptoError&) {
        } catch (const json::DecodeError&) {
        }
    }
    return 0;
}
