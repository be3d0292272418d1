#include "platform/thread/StopSignal.hpp"

#include <cerrno>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

namespace kestrava::thread {

StopSignal::StopSignal() : event_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!event_.isOpen()) {
        throw std::runtime_error("no event descriptor for a stop signal");
    }
}

void StopSignal::raise() noexcept {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(event_.get(), &one, sizeof one);
}

bool StopSignal::wait(int fd, short events, std::chrono::milliseconds limit) const {
    pollfd watched[] = {{event_.get(), POLLIN, 0}, {fd, events, 0}};
    const int timeout = limit.count() < 0 ? -1 : static_cast<int>(limit.count());
    while (::poll(watched, 2, timeout) < 0 && errno == EINTR) {
    }
    return (watched[0].revents & POLLIN) == 0;
}

} // namespace kestrava::thread
