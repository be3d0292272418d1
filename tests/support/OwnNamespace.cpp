#include "tests/support/OwnNamespace.hpp"

#include <cstdlib>
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

bool addVethPair() {
    return std::system(
               "ip link set lo up && ip link add kv0 type veth peer name kv1 && ip link set kv1 up && "
               "ip addr add 10.77.0.2/24 dev kv0") == 0;
}

} // namespace kestrava::test
