#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace kestrava::json {

// A failed decoding, with the path of keys (and "Index N" for array elements) down to the value at
// fault. what() is the description.
class DecodeError : public std::runtime_error {
public:
    enum class Kind { keyNotFound, valueNotFound, typeMismatch, dataCorrupted };

    DecodeError(Kind kind, std::vector<std::string> codingPath, const std::string& description);

    Kind kind() const noexcept { return kind_; }
    const std::vector<std::string>& codingPath() const noexcept { return codingPath_; }
    // The last element of the coding path, or empty at the top level.
    std::string key() const;

private:
    Kind kind_;
    std::vector<std::string> codingPath_;
};

} // namespace kestrava::json
