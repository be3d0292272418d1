#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrava::app {

// Key files as desktops and display managers write them: "[group]" lines, "key = value" lines, "#" and ";"
// comments.

// `text` without blanks, tabs and line breaks at either end.
std::string_view trimmed(std::string_view text);

// The value of the last line setting `key` in a group that `inGroup` accepts; none when no line does.
std::optional<std::string> keyFileValue(std::string_view text,
                                        const std::function<bool(std::string_view)>& inGroup,
                                        std::string_view key);

} // namespace kestrava::app
