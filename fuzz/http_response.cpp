#include "fuzz/support/LoopbackServer.hpp"
#include "platform/net/Https.hpp"
#include "platform/url/Url.hpp"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace kestrava;

namespace {

// Our server hangs up after each answer, so no step waits out the limit.
constexpr std::chrono::seconds stepLimit(2);
constexpr std::size_t maxBody = 64 * 1024;

} // namespace

// The input is what the server answers to a registration request: the fetch returns a response or fails
// with its own error, and never waits for bytes after the server hung up.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::LoopbackServer server(
        [](std::string_view, std::string_view input) { return std::string(input); });
    static const url::Url url =
        *url::Url::parseReference("http://127.0.0.1:" + std::to_string(server.port()) + "/v1/devices");
    server.setInput(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto started = std::chrono::steady_clock::now();
    try {
        net::fetch("POST", url, {}, "{}", stepLimit, maxBody);
    } catch (const net::NetError&) {
    }
    if (std::chrono::steady_clock::now() - started >= stepLimit) {
        std::abort();
    }
    return 0;
}
