#include "tests/support/OwnNamespace.hpp"

#include "tests/support/ForkedChild.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <sched.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace kestrava::test {
namespace {

enum class Made { yes, refused, failed };

// How the child of runInOwnUserNamespace ends.
constexpr int bodyPassed = 0;
constexpr int bodyFailed = 1;
constexpr int namespacesRefused = 2;

// Inside a fresh user namespace: this user seen as its root, so that programs it starts (ip) keep the
// namespace's capabilities.
bool mapOwnIdsToRoot(uid_t uid, gid_t gid) {
    try {
        writeText("/proc/self/setgroups", "deny");
        writeText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
        writeText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// An ordinary user may make these namespaces only inside a user namespace of its own, which a process of
// more than one thread cannot enter: `body` runs in a forked child, whose failures the test then reports
// (GoogleTest prints each as it happens). What the child leaves in the temporary folder goes with it.
bool runInOwnUserNamespace(int flags, const std::function<void()>& body,
                           const std::function<bool()>& prepare) {
    const TemporaryDirectory temporary;
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    const auto status = runInForkedChild([&] {
        if (::setenv("TMPDIR", temporary.path().c_str(), 1) != 0 || ::unshare(CLONE_NEWUSER | flags) != 0 ||
            !mapOwnIdsToRoot(uid, gid) || !prepare()) {
            return namespacesRefused;
        }
        body();
        return testing::Test::HasFailure() ? bodyFailed : bodyPassed;
    });
    if (status && *status != bodyPassed && *status != namespacesRefused) {
        ADD_FAILURE() << "the part of the test in namespaces of its own failed (exit status " << *status
                      << ")";
    }
    return status != namespacesRefused;
}

} // namespace

bool inOwnNamespace(int flags, const std::function<void()>& body, const std::function<bool()>& prepare) {
    Made made = Made::failed;
    std::thread([&] {
        if (::unshare(flags) != 0) {
            made = errno == EPERM ? Made::refused : Made::failed;
        } else if (prepare()) {
            made = Made::yes;
            body();
        }
    }).join();
    if (made == Made::refused) {
        return runInOwnUserNamespace(flags, body, prepare);
    }
    return made == Made::yes;
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
