#include "tests/support/FullStandardError.hpp"

#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace kestrava::test {
namespace {

process::Pipe newPipe() {
    auto pipe = process::openPipe();
    if (!pipe) {
        throw std::runtime_error("no pipe for standard error");
    }
    return std::move(*pipe);
}

} // namespace

FullStandardError::FullStandardError() : pipe_(newPipe()), saved_(::dup(STDERR_FILENO)) {
    const int writeEnd = pipe_.writeEnd.get();
    ::fcntl(writeEnd, F_SETFL, O_NONBLOCK);
    const std::string filler(4096, 'x');
    while (::write(writeEnd, filler.data(), filler.size()) > 0) {
    }
    ::fcntl(writeEnd, F_SETFL, 0);
    ::dup2(writeEnd, STDERR_FILENO);
}

FullStandardError::~FullStandardError() {
    restore();
}

void FullStandardError::restore() {
    if (saved_.isOpen()) {
        ::dup2(saved_.get(), STDERR_FILENO);
        saved_.reset();
    }
}

std::string FullStandardError::giveBack(const std::function<bool()>& written) {
    restore();
    pipe_.writeEnd.reset();
    const int readEnd = pipe_.readEnd.get();
    ::fcntl(readEnd, F_SETFL, O_NONBLOCK);
    std::string drained;
    char buffer[65536];
    const auto drain = [&] {
        for (ssize_t count; (count = ::read(readEnd, buffer, sizeof buffer)) > 0;) {
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
