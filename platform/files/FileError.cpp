#include "platform/files/FileError.hpp"

#include <cstring>

namespace kestrava::files {

std::string errorText(int errorNumber) {
    // strerrordesc_np ignores the locale; unknown numbers have no description.
    const char* text = strerrordesc_np(errorNumber);
    return text ? text : "Unknown error " + std::to_string(errorNumber);
}

FileError::FileError(const std::string& operation, const std::string& path, int errorNumber)
    : FileError(operation, path, errorNumber, errorText(errorNumber)) {}

FileError::FileError(const std::string& operation, const std::string& path, int errorNumber,
                     const std::string& reason)
    : std::runtime_error(operation + " " + path + ": " + reason), errorNumber_(errorNumber) {}

} // namespace kestrava::files
