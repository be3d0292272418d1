#pragma once

#include "platform/time/Timestamp.hpp"

#include <string>

namespace kestrava {

// Remembers which command nonces were used. Verifiers hold a store through std::shared_ptr.
class NonceStore {
public:
    virtual ~NonceStore() = default;

    // True when the nonce is fresh, and records it at `now`; false for a replay. The test and the
    // recording are one atomic step for concurrent callers.
    virtual bool checkAndRecord(const std::string& nonce, Timestamp now) = 0;
};

} // namespace kestrava
