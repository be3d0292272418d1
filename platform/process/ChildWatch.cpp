#include "platform/process/ChildWatch.hpp"

#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kestrava::process {

ChildWatch::ChildWatch(pid_t child)
    : exitNotice_(static_cast<int>(::syscall(SYS_pidfd_open, child, 0))),
      wakeups_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void ChildWatch::sleep(std::chrono::milliseconds limit) {
    // Descriptors below 0 are not watched.
    pollfd watched[2] = {{exitNotice_.get(), POLLIN, 0}, {wakeups_.get(), POLLIN, 0}};
    ::poll(watched, 2, static_cast<int>(limit.count()));
    if (watched[1].revents != 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const auto drained = ::read(wakeups_.get(), &count, sizeof count);
    }
}

void ChildWatch::wake() noexcept {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wakeups_.get(), &one, sizeof one);
}

} // namespace kestrava::process
