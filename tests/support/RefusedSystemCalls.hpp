#pragma once

#include <future>
#include <vector>

namespace kestrava::test {

// Makes the calling thread's calls of `refused`, and those of every process it starts, fail with `error`:
// ENOSYS as a kernel from before them does, EPERM as a container's seccomp profile written before them
// does. A filter binds one thread for good, so it belongs on a thread of its own. Throws when the filter
// cannot be installed.
void refuseOnThisThread(const std::vector<long>& refused, int error);

// What `body` returns, run on a thread of its own whose calls of `refused` fail with `error`; other tests
// run on.
template<class Body>
auto withSystemCallsRefused(const std::vector<long>& refused, int error, Body&& body) {
    return std::async(std::launch::async,
                      [&] {
                          refuseOnThisThread(refused, error);
                          return body();
                      })
        .get();
}

} // namespace kestrava::test
