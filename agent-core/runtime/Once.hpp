#pragma once

#include <functional>
#include <mutex>
#include <utility>

namespace kestrava {

// A function that runs at most once however many parties call run(), from any threads; the lock is held
// only while taking the function, never while it runs.
class Once {
public:
    explicit Once(std::function<void()> f) : f_(std::move(f)) {}

    void run();

private:
    std::mutex lock_;
    std::function<void()> f_;
};

} // namespace kestrava
