#pragma once

#include "platform/time/Timestamp.hpp"

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace kestrava {

// Cancels that may have arrived before their command: a cancel is recorded at once on the caller's
// thread, so that it is not lost whichever of the two reaches the executor first. Shared by every thread.
class EarlyCancels {
public:
    // How long a recorded cancel counts.
    static constexpr std::chrono::seconds window{60};

    explicit EarlyCancels(std::function<Timestamp()> now = wallClockNow) : now_(std::move(now)) {}

    // Records a cancel for `id` now (a second one renews the time) and forgets those that no longer count.
    void add(const std::string& id);
    // Removes the cancel for `id`; true when there was one recorded less than `window` ago.
    bool take(const std::string& id);

private:
    const std::function<Timestamp()> now_;
    std::mutex lock_;
    std::map<std::string, Timestamp> ids_; // guarded by lock_
};

} // namespace kestrava
