#include "platform/time/Iso8601.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace kestrava;

// A date a file or a peer wrote: it parses or not, without crashing; a parsed one formats to a text
// that parses to the same time and formats the same again.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto time = iso8601::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!time) {
        return 0;
    }
    const std::string text = iso8601::format(*time);
    const auto again = iso8601::parse(text);
    if (!again || *again != *time || iso8601::format(*again) != text) {
        std::abort();
    }
    return 0;
}
