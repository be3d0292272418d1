#include "platform/crypto/Random.hpp"

#include "platform/crypto/OpenSsl.hpp"

#include <openssl/rand.h>

#include <algorithm>

namespace kestrava::crypto {

void fillRandom(std::span<std::uint8_t> out) {
    openssl::ErrorScope errors;
    while (!out.empty()) {
        const std::size_t chunk = std::min<std::size_t>(out.size(), INT_MAX);
        openssl::check(RAND_bytes(out.data(), static_cast<int>(chunk)));
        out = out.subspan(chunk);
    }
}

Bytes randomBytes(std::size_t count) {
    Bytes bytes(count);
    fillRandom(bytes);
    return bytes;
}

} // namespace kestrava::crypto
