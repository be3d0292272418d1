#include "agent-core/relay/BackendURL.hpp"
#include "agent-core/relay/Registration.hpp"
#include "agent-core/relay/RelayURL.hpp"
#include "platform/json/DecodeError.hpp"
#include "platform/json/Reader.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace kestrava;

// The backend's answer to a registration: it decodes, or fails with the decoder's error or as an answer
// the agent cannot use; nothing else escapes. A device identifier it grants makes a relay address.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const auto response = Registration::Response::decode(
            json::ObjectReader(json::parse(std::string_view(reinterpret_cast<const char*>(data), size))));
        if (!relayWebSocketURL(BackendURL::defaultURL(), response.deviceId).namesServer()) {
            std::abort();
        }
    } catch (const json::DecodeError&) {
    } catch (const Registration::Error&) {
    }
    return 0;
}
