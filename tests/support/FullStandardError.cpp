#include "tests/support/FullStandardError.hpp"

#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace kestrava::test {
FullStandardError::FullStandardError() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return;
    }
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
    saved_ = ::dup(STDERR_FILENO);
    ::fcntl(writeEnd_, F_SETFL, O_NONBLOCK);
    const std::string filler(4096, 'x');
    while (::write(writeEnd_, filler.data(), filler.size()) > 0) {
    }
    ::fcntl(writeEnd_, F_SETFL, 0);
    ::dup2(writeEnd_, STDERR_FILENO);
}

FullStandardError::~FullStandardError() {
    if (saved_ >= 0) {
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }
    for (const int end : {readEnd_, writeEnd_}) {
        if (end >= 0) {
            ::close(end);
        }
    }
}

std::string FullStandardError::giveBack(const std::function<bool()>& written) {
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
    ::close(writeEnd_);
    writeEnd_ = -1;
    ::fcntl(readEnd_, F_SETFL, O_NONBLOCK);
    std::string drained;
    char buffer[65536];
    const auto drain = [&] {
        for (ssize_t count; (count = ::read(readEnd_, buffer, sizeof buffer)) > 0;) {
            drained.append(buffer, static_cast<std::size_t>(count));
        }
    };
    while (!written()) {
        drain();
    }
    // The lines' last bytes may still wait in the pipe.
    drain();
    return drained;
}

} // namespace kestrava::test
