#include "platform/process/Pipe.hpp"

#include <fcntl.h>
#include <unistd.h>

namespace kestrava::process {

std::optional<Pipe> openPipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    return Pipe{Descriptor(ends[0]), Descriptor(ends[1])};
}

} // namespace kestrava::process
