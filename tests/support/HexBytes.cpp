#include "tests/support/HexBytes.hpp"

#include "platform/encoding/Hex.hpp"

#include <cstdlib>

namespace kestrava::test {
namespace {

// Test data is written by hand: a typo ends the test program at once.
int digitValue(char digit) {
    const int value = hex::digitValue(digit);
    if (value < 0) {
        std::abort();
    }
    return value;
}

} // namespace

Bytes hexBytes(std::string_view digits) {
    if (digits.size() % 2 != 0) {
        std::abort();
    }
    Bytes bytes;
    bytes.reserve(digits.size() / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(digitValue(digits[i]) * 16 + digitValue(digits[i + 1])));
    }
    return bytes;
}

} // namespace kestrava::test
