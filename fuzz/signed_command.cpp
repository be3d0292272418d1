#include "platform/crypto/P256.hpp"
#include "platform/json/DecodeError.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Reader.hpp"
#include "protocol-kit/CommandVerifier.hpp"
#include "protocol-kit/MemoryNonceStore.hpp"
#include "protocol-kit/SignedCommand.hpp"
#include "protocol-kit/VerifyError.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

using namespace kestrava;

namespace {

const crypto::P256PublicKey& phoneKey() {
    static const crypto::P256PublicKey key = crypto::P256PrivateKey::fromRaw(Bytes(32, 0x11))->publicKey();
    return key;
}

} // namespace

// A signed command from an untrusted phone: decoding and verification fail only with their own errors.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto nonces = std::make_shared<MemoryNonceStore>();
    try {
        const json::Value value = json::parse(std::string_view(reinterpret_cast<const char*>(data), size));
        const SignedCommand command = SignedCommand::decode(json::ObjectReader(value));
        const CommandVerifier verifier("fuzz-device", "fuzz-phone", phoneKey(), nonces);
        verifier.verify(command, timestampFromSeconds(1'700'000'000));
    } catch (const json::DecodeError&) {
    } catch (const VerifyError&) {
    }
    return 0;
}
