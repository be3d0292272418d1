#include "agent-core/relay/BackendURL.hpp"
#include "agent-core/relay/RelayURL.hpp"
#include "agent-core/state/Config.hpp"
#include "platform/json/DecodeError.hpp"
#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

using namespace kestrava;

// "config.json" as the agent reads it: decoding fails only with its own error; a decoded configuration
// encodes to one that decodes the same; its relay address is judged without crashing, and one that
// passes names a server and gives a WebSocket address that names the same one.
namespace {

std::optional<Config> decoded(std::string_view text) {
    try {
        return Config::decode(json::ObjectReader(json::parse(text)));
    } catch (const json::DecodeError&) {
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto decodedConfig = decoded(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!decodedConfig) {
        return 0;
    }
    const Config& config = *decodedConfig;
    if (!(decoded(json::write(config.encode(), {})) == config)) {
        std::abort();
    }
    backendKey(config.backendURL);
    try {
        BackendURL::validate(config.backendURL, true, true);
    } catch (const BackendURL::Error&) {
        return 0;
    }
    const url::Url relay = relayWebSocketURL(config.backendURL, config.deviceId.value_or("device"));
    if (!config.backendURL.namesServer() || !relay.namesServer() ||
        relay.host() != config.backendURL.host()) {
        std::abort();
    }
    return 0;
}
