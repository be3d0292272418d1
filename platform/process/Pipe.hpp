#pragma once

#include "platform/process/Descriptor.hpp"

#include <optional>

namespace kestrava::process {

struct Pipe {
    Descriptor readEnd;
    Descriptor writeEnd;
};

// A new pipe whose ends are closed on exec, so no program the agent starts inherits them by accident;
// nothing when the system refuses one.
std::optional<Pipe> openPipe();

} // namespace kestrava::process
