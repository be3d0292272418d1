#include "agent-core/exec/ShellJob.hpp"
#include "platform/encoding/Utf8.hpp"
#include "platform/unicode/Unicode.hpp"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

using namespace kestrava;

// A command's output, cut into reads at the places the input picks and handed on as the reader does:
// every chunk is UTF-8 of at most the chunk limit, and, under the output cap, the chunks together are
// the whole output with each ill-formed sequence replaced, wherever the reads split it. The first byte
// picks the read size, the second the cap.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t readSize = data[0] % 16 + 1;
    const std::int64_t cap = data[1] == 0 ? 1 << 20 : data[1];
    const std::string_view output(reinterpret_cast<const char*>(data) + 2, size - 2);

    std::string delivered;
    const auto job = std::make_shared<ShellJob>(
        "", 1, cap,
        [&](std::string_view, std::string_view chunk) {
            if (chunk.empty() || chunk.size() > ShellJob::chunkLimit || !utf8::isValid(chunk)) {
                std::abort();
            }
            delivered += chunk;
        },
        std::chrono::milliseconds(0), [] { return true; });
    std::string pending;
    for (std::size_t offset = 0; offset < output.size(); offset += readSize) {
        job->deliverRead("stdout", pending, output.substr(offset, readSize));
    }
    job->deliver("stdout", pending);

    const std::string whole = unicode::repaired(output);
    if (static_cast<std::int64_t>(whole.size()) <= cap ? delivered != whole
                                                       : static_cast<std::int64_t>(delivered.size()) > cap) {
        std::abort();
    }
    return 0;
}
