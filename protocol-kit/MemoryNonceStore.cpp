#include "protocol-kit/MemoryNonceStore.hpp"

namespace kestrava {

bool MemoryNonceStore::checkAndRecord(const std::string& nonce, Timestamp now) {
    std::lock_guard guard(lock_);
    // Ages are exact nanosecond durations, so an entry is gone at 600 s sharp; a future entry stays.
    std::erase_if(recorded_, [now](const auto& entry) { return now - entry.second >= window; });
    // A replayed nonce keeps its first time.
    return recorded_.try_emplace(nonce, now).second;
}

} // namespace kestrava
