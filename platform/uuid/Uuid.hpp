#pragma once

#include <string>

namespace kestrava::uuid {

// A random version-4 UUID as 36 characters (8-4-4-4-12).
std::string randomLowercase();
std::string randomUppercase();

} // namespace kestrava::uuid
