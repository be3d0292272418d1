#pragma once

#include "platform/process/Descriptor.hpp"

#include <chrono>

namespace kestrava::thread {

// Ends a thread that waits on a descriptor: raise() wakes its wait at once, from any thread.
class StopSignal {
public:
    StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void raise() noexcept;

    // Waits until `fd` is ready for `events` (poll's), `limit` has passed (none: no limit) or the signal
    // was raised. False once it was raised.
    bool wait(int fd, short events, std::chrono::milliseconds limit = std::chrono::milliseconds(-1)) const;

private:
    process::Descriptor event_;
};

} // namespace kestrava::thread
