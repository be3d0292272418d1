#pragma once

#include "platform/process/Descriptor.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <sys/types.h>

namespace kestrava::net {

// Unix stream sockets on the local machine, every descriptor close-on-exec. Failures throw
// files::FileError with the call, the path and the system's text.

// The longest path a socket address holds, without its terminating NUL.
inline constexpr std::size_t maxLocalSocketPath = 107;

// Listens at `path`: a stale socket or file there is removed first, and the socket gets mode 0600.
process::Descriptor listenLocal(const std::filesystem::path& path, int backlog);

// The next connection; nothing once the listening socket was shut down or failed for good. Waits.
std::optional<process::Descriptor> acceptLocal(int listening);

// Wakes acceptLocal and makes every later call return nothing.
void stopListening(int listening) noexcept;

process::Descriptor connectLocal(const std::filesystem::path& path);

// Who is at the other end of a connected socket, as the kernel saw it when the connection was made.
struct PeerCredentials {
    pid_t pid = 0;
    uid_t uid = 0;
};
PeerCredentials peerCredentials(int connected);

// Exactly `bytes.size()` bytes; false when the peer closed first or the socket failed.
bool readExactly(int fd, std::span<std::uint8_t> bytes);
// All of `bytes`; false when the socket failed. Never raises SIGPIPE.
bool writeAll(int fd, std::span<const std::uint8_t> bytes);

} // namespace kestrava::net
