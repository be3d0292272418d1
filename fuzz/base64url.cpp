#include "protocol-kit/Base64URL.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace kestrava;

// Every byte string round-trips, and any text that decodes holds bytes that round-trip too.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteView input(data, size);
    if (Base64URL::decode(Base64URL::encode(input)) != Bytes(input.begin(), input.end())) {
        std::abort();
    }
    const auto decoded = Base64URL::decode(std::string_view(reinterpret_cast<const char*>(data), size));
    if (decoded && Base64URL::decode(Base64URL::encode(*decoded)) != *decoded) {
        std::abort();
    }
    return 0;
}
