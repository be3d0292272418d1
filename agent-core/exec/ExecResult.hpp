#pragma once

#include <cstdint>
#include <optional>

namespace kestrava {

// How a phone's command ended.
struct ExecResult {
    // The shell's exit status (0-255); none when a signal ended it, when its end could not be observed or
    // when it never ran because it was cancelled before it arrived; 127 when it could not be started.
    std::optional<std::int32_t> exitCode;
    // From the start of the job until its end; 0 when it never ran or could not be started.
    std::int64_t durationMs = 0;
    // Some output was dropped at the output cap.
    bool truncated = false;
    // The time-out stopped it (never set for a cancelled job).
    bool timedOut = false;

    bool operator==(const ExecResult&) const = default;
};

} // namespace kestrava
