#include "protocol-kit/MemoryNonceStore.hpp"

namespace kestrava {

bool MemoryNonceStore::checkAndRecord(const std::string& nonce, Timestamp now) {
    std::lock_guard guard(lock_);
    // Ages are exact nanosecond durations, so an entry is gone at 600 s sharp; a future entry stays. Compared
    // with the window's start: an age of a date centuries back would overflow.
    const Timestamp windowStart = now - std::chrono::duration_cast<Timestamp::duration>(window);
    std::erase_if(recorded_, [windowStart](const auto& entry) { return entry.second <= windowStart; });
    // A replayed nonce keeps its first time.
    return recorded_.try_emplace(nonce, now).second;
}

} // namespace kestrava
