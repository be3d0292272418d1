#pragma once

#include "protocol-kit/E2EPayload.hpp"

#include <string>

namespace kestrava::test {

// A payload as a short text for comparisons: "out stdout hello\n", "done 0", "done signal",
// "rejected busy", "status", "command".
std::string replyText(const E2EPayload& payload);

} // namespace kestrava::test
