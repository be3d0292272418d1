#pragma once

#include "platform/json/Value.hpp"

#include <stdexcept>
#include <string>

namespace kestrava::json {

struct WriteOptions {
    bool sortedKeys = false; // by UTF-8 bytes, at every level
    bool pretty = false;     // two-space indent, "key" : value, no final newline
    bool escapeSlash = true; // "/" written as "\/"
};

// A text to write that is not UTF-8: no reader would take the JSON back.
class EncodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Escapes \" \\ \/ \b \f \n \r \t, other bytes below 0x20 as \u00xx (lower case); everything else
// is copied as it is. Throws EncodeError for a key or text that is not UTF-8.
std::string write(const Value& value, const WriteOptions& options);

} // namespace kestrava::json
