#include "platform/json/DecodeError.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Reader.hpp"
#include "protocol-kit/Pairing.hpp"
#include "protocol-kit/PairingRequest.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace kestrava;

// A pairing request from an untrusted phone: decoding either fails cleanly or yields a request whose
// proof check answers without crashing.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Bytes secret(32, 0x5A);
    try {
        const json::Value value = json::parse(std::string_view(reinterpret_cast<const char*>(data), size));
        const PairingRequest request = PairingRequest::decode(json::ObjectReader(value));
        Pairing::verifyProof(request, secret, "fuzz-device");
    } catch (const json::DecodeError&) {
    }
    return 0;
}
