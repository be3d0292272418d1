#pragma once

#include "platform/bytes/Bytes.hpp"

#include <string_view>

namespace kestrava::test {

// Bytes from hexadecimal digits (either case) written in a test; a malformed literal aborts the test
// program.
Bytes hexBytes(std::string_view digits);

} // namespace kestrava::test
