#pragma once

#include "platform/bytes/Bytes.hpp"

#include <string>

namespace kestrava::hex {

// Two lower-case hexadecimal digits per byte, no separator.
std::string lowercase(ByteView bytes);

// The value 0-15 of a hexadecimal digit of either case; -1 for any other character.
int digitValue(char digit);

} // namespace kestrava::hex
