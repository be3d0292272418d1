#include "platform/crypto/CryptoError.hpp"
#include "platform/encoding/Utf8.hpp"
#include "protocol-kit/Pairing.hpp"
#include "protocol-kit/PairingError.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace kestrava;

namespace {

const Bytes secret(32, 0x5A);

} // namespace

// A phone's sealed name: as it arrives it opens only with the pairing's own errors; sealed under the
// pairing secret, it opens to the same bytes exactly when they are UTF-8 and is refused as invalid text
// otherwise.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteView input(data, size);
    try {
        Pairing::decryptName(input, secret);
    } catch (const crypto::CryptoError&) {
    } catch (const PairingError&) {
    }
    const std::string name = textOf(input);
    try {
        if (Pairing::decryptName(Pairing::encryptName(name, secret), secret) != name ||
            !utf8::isValid(name)) {
            std::abort();
        }
    } catch (const PairingError&) {
        if (utf8::isValid(name)) {
            std::abort();
        }
    }
    return 0;
}
