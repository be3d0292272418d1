#pragma once

#include "platform/json/Value.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrava {

// The frames of the control socket: a 4-byte big-endian length, then that many bytes of JSON holding one
// object. A request is {"a":[arguments],"id":n,"m":"selector"}, a reply {"id":n,"r":[values]}.
struct ControlRequest {
    std::int64_t id = 0; // 1 to 2^53 - 1, unique among the calls in flight on one connection
    std::string method;
    json::Array arguments;

    std::string encode() const;
    // Throws ControlProtocolError for anything but such an object.
    static ControlRequest decode(std::string_view bytes);
};

struct ControlReply {
    std::int64_t id = 0;
    json::Array values;

    std::string encode() const;
    static ControlReply decode(std::string_view bytes);
};

// A frame or a call that breaks the rules: the receiver closes the connection.
class ControlProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr std::size_t maxControlFrame = 1 << 20;
inline constexpr std::int64_t maxControlCallId = (std::int64_t{1} << 53) - 1;

// The next frame's bytes; nothing at the end of the stream, on a failed read or for a length of 0 or
// over the limit.
std::optional<std::string> readControlFrame(int fd);
// False when the socket failed.
bool writeControlFrame(int fd, std::string_view bytes);

} // namespace kestrava
