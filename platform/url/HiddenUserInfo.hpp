#pragma once

#include <string>
#include <string_view>

namespace kestrava::url {

// The URL text with any user information of its authority ("user:password@") replaced by "***@", for
// logging what someone typed. Works on text that does not parse as well: that is what gets logged.
std::string hidingUserInfo(std::string_view text);

} // namespace kestrava::url
