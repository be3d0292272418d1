#pragma once

#include "platform/process/Descriptor.hpp"
#include "platform/process/Pipe.hpp"

#include <functional>
#include <string>

namespace kestrava::test {

// Standard error swapped for a pipe no one drains, filled, so that the next log line blocks while it is
// written, as it does when the service manager's journal stops reading. Throws when no pipe can be made.
class FullStandardError {
public:
    FullStandardError();
    // Gives standard error back, if `giveBack` has not.
    ~FullStandardError();
    FullStandardError(const FullStandardError&) = delete;
    FullStandardError& operator=(const FullStandardError&) = delete;

    // Gives standard error back and drains the pipe, so that the blocked lines finish; returns once
    // `written` says they have, with everything the pipe held.
    std::string giveBack(const std::function<bool()>& written);

private:
    void restore();

    process::Pipe pipe_;
    process::Descriptor saved_;
};

} // namespace kestrava::test
