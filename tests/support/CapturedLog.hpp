#pragma once

#include "tests/support/TemporaryDirectory.hpp"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace kestrava::test {

// Sends the agent log to a file of its own for the life of the object, and reads it back.
class CapturedLog {
public:
    CapturedLog();

    // Every line written so far, without its time: "INFO connected", "ERROR send failed: ...".
    std::vector<std::string> lines() const;
    // How many lines so far begin with `prefix`.
    std::size_t count(std::string_view prefix) const;
    // True once a line begins with `prefix`; false when `limit` passed first.
    bool waitFor(std::string_view prefix, std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

private:
    TemporaryDirectory directory_;
};

} // namespace kestrava::test
