#include "platform/json/DecodeError.hpp"
#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace kestrava;

// Any text either fails to parse with the reader's own error, or parses to a value the writer writes
// (the reader only hands out UTF-8) and that reads back the same: the writer never produces text the
// strict reader refuses. Sorted, pretty output reads back to a value that writes the same text again.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    json::Value value;
    try {
        value = json::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const json::DecodeError&) {
        return 0;
    }
    if (!(json::parse(json::write(value, {})) == value)) {
        std::abort();
    }
    const json::WriteOptions sorted{.sortedKeys = true, .pretty = true, .escapeSlash = true};
    const std::string text = json::write(value, sorted);
    if (json::write(json::parse(text), sorted) != text) {
        std::abort();
    }
    return 0;
}
