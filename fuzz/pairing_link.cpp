#include "protocol-kit/PairingQR.hpp"

#include <cstdlib>
#include <string_view>

// Any link that parses must survive being written out and read again.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parsed =
        kestrava::PairingQR::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!parsed) {
        return 0;
    }
    const auto reparsed = kestrava::PairingQR::parse(parsed->urlString());
    if (reparsed != parsed) {
        std::abort();
    }
    return 0;
}
