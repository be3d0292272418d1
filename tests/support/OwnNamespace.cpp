#include "tests/support/OwnNamespace.hpp"

#include <future>
#include <sched.h>
#include <thread>

namespace kestrava::test {

bool inOwnNamespace(int flags, const std::function<void()>& body, const std::function<bool()>& prepare) {
    std::promise<bool> made;
    std::thread([&] {
        if (::unshare(flags) != 0 || !prepare()) {
            made.set_value(false);
            return;
        }
        made.set_value(true);
        body();
    }).join();
    return made.get_future().get();
}

bool inOwnNetwork(const std::function<void()>& body) {
    return inOwnNamespace(CLONE_NEWNET, body);
}

} // namespace kestrava::test
