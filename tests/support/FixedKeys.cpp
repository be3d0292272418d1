#include "tests/support/FixedKeys.hpp"

#include <array>
#include <stdexcept>

namespace kestrava::test {

crypto::P256PrivateKey fixedPrivateKey(std::uint8_t fill) {
    std::array<std::uint8_t, 32> scalar;
    scalar.fill(fill);
    auto key = crypto::P256PrivateKey::fromRaw(scalar);
    if (!key) {
        throw std::invalid_argument("fixed key fill out of range");
    }
    return *key;
}

} // namespace kestrava::test
