#include "agent-core/exec/EarlyCancels.hpp"

namespace kestrava {

void EarlyCancels::add(const std::string& id) {
    const std::lock_guard held(lock_);
    const Timestamp now = now_();
    std::erase_if(ids_, [&](const auto& entry) { return now - entry.second >= window; });
    ids_[id] = now;
}

bool EarlyCancels::take(const std::string& id) {
    const std::lock_guard held(lock_);
    const auto entry = ids_.find(id);
    if (entry == ids_.end()) {
        return false;
    }
    const bool counts = now_() - entry->second < window;
    ids_.erase(entry);
    return counts;
}

} // namespace kestrava
