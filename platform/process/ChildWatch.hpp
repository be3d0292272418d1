#pragma once

#include "platform/process/Descriptor.hpp"

#include <chrono>
#include <sys/types.h>

namespace kestrava::process {

// Lets a thread that polls a child process sleep between its checks without missing the moment it is
// waiting for: a sleep ends early when the child exits or when another thread calls wake(). Without the
// kernel's process descriptors it still sleeps, only without the early end at the child's exit.
class ChildWatch {
public:
    explicit ChildWatch(pid_t child);

    // Sleeps at most `limit`.
    void sleep(std::chrono::milliseconds limit);
    // Ends the current or the next sleep; callable from any thread.
    void wake() noexcept;
    // Once the child's exit has been seen, it no longer ends a sleep: the notice would stay readable until
    // the child is reaped, and every sleep would end at once.
    void childExited() noexcept { exitNotice_.reset(); }

private:
    Descriptor exitNotice_;
    Descriptor wakeups_;
};

} // namespace kestrava::process
