#pragma once

#include <QCoro/QCoroTask>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestrava::app {

// How a run of a system tool ended.
struct ProcessResult {
    // None when the program could not be started, was ended by a signal or ran past its time-out.
    std::optional<int> exitStatus;
    // Standard output and standard error as the program interleaved them, as UTF-8 with invalid sequences
    // replaced; empty after a time-out.
    std::string output;
    bool timedOut = false;

    bool operator==(const ProcessResult&) const = default;
};

// Runs `program` (an absolute path) with `arguments`, standard input from /dev/null, on a worker thread; the
// calling thread only waits for the result. A program still running at `timeout` is sent SIGTERM and, one
// second later, SIGKILL, so the result comes at most about a second after the time-out.
QCoro::Task<ProcessResult> runProcess(std::filesystem::path program, std::vector<std::string> arguments,
                                      std::chrono::milliseconds timeout);

} // namespace kestrava::app
