#include "platform/host/GnomeIdleSuspend.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace kestrava;

// Whatever the desktop's settings tool prints, the idle suspend it gives is a sleep timer: minutes, 0 for
// never or -1 for unknown. The first byte picks the power source.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view listing(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (host::gnomeIdleSuspendMinutes(listing, data[0] % 2 == 0) < -1) {
        std::abort();
    }
    return 0;
}
