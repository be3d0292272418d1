#include "platform/json/DecodeError.hpp"
#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"
#include "protocol-kit/AgentIn.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace kestrava;

// A relay frame: it either fails with a decoding error or decodes to a message that survives a round trip.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const AgentIn message = AgentIn::decode(
            json::ObjectReader(json::parse(std::string_view(reinterpret_cast<const char*>(data), size))));
        const std::string text = json::write(message.encode(), {});
        if (!(AgentIn::decode(json::ObjectReader(json::parse(text))) == message)) {
            std::abort();
        }
    } catch (const json::DecodeError&) {
    }
    return 0;
}
