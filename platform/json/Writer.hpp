#pragma once

#include "platform/json/Value.hpp"

#include <string>

namespace kestrava::json {

struct WriteOptions {
    bool sortedKeys = false; // by UTF-8 bytes, at every level
    bool pretty = false;     // two-space indent, "key" : value, no final newline
    bool escapeSlash = true; // "/" written as "\/"
};

// Escapes \" \\ \/ \b \f \n \r \t, other bytes below 0x20 as \u00xx (lower case); everything else
// is copied as it is.
std::string write(const Value& value, const WriteOptions& options);

} // namespace kestrava::json
