#include "agent-core/control/AgentStatus.hpp"
#include "agent-core/control/ConnectionState.hpp"
#include "agent-core/control/PairingOutcome.hpp"
#include "agent-core/control/PendingPairingInfo.hpp"
#include "agent-core/control/PhoneInfo.hpp"
#include "agent-core/control/XPCCoding.hpp"
#include "platform/json/DecodeError.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

using namespace kestrava;

namespace {

// A value the other end of the control socket sent decodes or fails with the decoder's own error; what
// decodes encodes to bytes that decode the same.
template<class T>
void roundTrip(std::string_view bytes) {
    try {
        const T value = XPCCoding::decode<T>(bytes);
        if (!(XPCCoding::decode<T>(XPCCoding::encode(value)) == value)) {
            std::abort();
        }
    } catch (const json::DecodeError&) {
    }
}

} // namespace

// The first byte picks the kind of value, the rest are its bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 6) {
    case 0:
        roundTrip<AgentStatus>(bytes);
        break;
    case 1:
        roundTrip<PhoneInfo>(bytes);
        break;
    case 2:
        roundTrip<std::vector<PhoneInfo>>(bytes);
        break;
    case 3:
        roundTrip<PendingPairingInfo>(bytes);
        break;
    case 4:
        roundTrip<PairingOutcome>(bytes);
        break;
    case 5:
        roundTrip<ConnectionState>(bytes);
        break;
    }
    return 0;
}
