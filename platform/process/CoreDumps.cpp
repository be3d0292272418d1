#include "platform/process/CoreDumps.hpp"

#include <sys/prctl.h>

namespace kestrava::process {
namespace {

std::optional<rlimit> savedCoreLimit;

} // namespace

void refuseCoreDumps() {
    // None of these calls can fail with these arguments: lowering a soft limit is always allowed.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    rlimit limit{};
    if (::getrlimit(RLIMIT_CORE, &limit) != 0) {
        limit = {0, 0};
    }
    savedCoreLimit = limit;
    const rlimit none{0, limit.rlim_max};
    ::setrlimit(RLIMIT_CORE, &none);
}

std::optional<rlimit> coreLimitBeforeRefusal() {
    return savedCoreLimit;
}

} // namespace kestrava::process
