#pragma once

#include <cstddef>
#include <functional>

namespace kestrava::thread {

// Runs `body` on a new detached thread with a stack of `stackSize` bytes; false when the system refuses
// the thread (then `body` is not run). `body` must not throw: an escaping exception ends the process.
bool startDetachedThread(std::size_t stackSize, std::function<void()> body);

} // namespace kestrava::thread
