#pragma once

#include "protocol-kit/NonceStore.hpp"

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace kestrava {

// Keeps the nonces of the last ten minutes in memory; nothing outlives the store.
class MemoryNonceStore final : public NonceStore {
public:
    // A nonce this old or older is forgotten; older commands fail the clock-skew test anyway.
    static constexpr std::chrono::seconds window{600};

    bool checkAndRecord(const std::string& nonce, Timestamp now) override;

private:
    std::mutex lock_;
    std::unordered_map<std::string, Timestamp> recorded_;
};

} // namespace kestrava
