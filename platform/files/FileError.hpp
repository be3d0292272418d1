#pragma once

#include <stdexcept>
#include <string>

namespace kestrava::files {

// A failed file-system call: the operation, the path and the system's English text for errno, so the
// description can go into a log line as it is.
class FileError : public std::runtime_error {
public:
    FileError(const std::string& operation, const std::string& path, int errorNumber);
    // A refusal of our own rather than the system's: `reason` replaces the text for `errorNumber`.
    FileError(const std::string& operation, const std::string& path, int errorNumber,
              const std::string& reason);

    int errorNumber() const noexcept { return errorNumber_; }

private:
    int errorNumber_;
};

// The English text for an errno value, whatever the locale.
std::string errorText(int errorNumber);

} // namespace kestrava::files
