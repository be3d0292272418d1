#pragma once

#include <functional>
#include <string>

namespace kestrava::test {

// Standard error swapped for a pipe no one drains, filled, so that the next log line blocks while it is
// written, as it does when the service manager's journal stops reading.
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
    int saved_ = -1;
    int readEnd_ = -1;
    int writeEnd_ = -1;
};

} // namespace kestrava::test
