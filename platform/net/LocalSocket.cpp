#include "platform/net/LocalSocket.hpp"

#include "platform/files/FileError.hpp"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kestrava::net {
namespace {

sockaddr_un addressOf(const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.size() > maxLocalSocketPath) {
        throw files::FileError("socket path", text, ENAMETOOLONG);
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, text.data(), text.size());
    return address;
}

process::Descriptor newSocket(const std::filesystem::path& path) {
    process::Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.isOpen()) {
        throw files::FileError("socket", path.native(), errno);
    }
    return socket;
}

} // namespace

process::Descriptor listenLocal(const std::filesystem::path& path, int backlog) {
    const sockaddr_un address = addressOf(path);
    process::Descriptor socket = newSocket(path);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        throw files::FileError("unlink", path.native(), errno);
    }
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        throw files::FileError("bind", path.native(), errno);
    }
    if (::chmod(path.c_str(), 0600) != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        throw files::FileError("chmod", path.native(), error);
    }
    if (::listen(socket.get(), backlog) != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        throw files::FileError("listen", path.native(), error);
    }
    return socket;
}

std::optional<process::Descriptor> acceptLocal(int listening) {
    for (;;) {
        const int accepted = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
        if (accepted >= 0) {
            return process::Descriptor(accepted);
        }
        // A peer that gave up before it was accepted, or a signal: wait for the next one.
        if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) {
            continue;
        }
        // Out of descriptors or memory for now: let the system recover instead of spinning.
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            ::usleep(100'000);
            continue;
        }
        return std::nullopt;
    }
}

void stopListening(int listening) noexcept {
    ::shutdown(listening, SHUT_RDWR);
}

process::Descriptor connectLocal(const std::filesystem::path& path) {
    const sockaddr_un address = addressOf(path);
    process::Descriptor socket = newSocket(path);
    while (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINTR) {
            throw files::FileError("connect", path.native(), errno);
        }
    }
    return socket;
}

PeerCredentials peerCredentials(int connected) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(connected, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
        throw files::FileError("getsockopt", "SO_PEERCRED", errno);
    }
    return {credentials.pid, credentials.uid};
}

bool readExactly(int fd, std::span<std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t count = ::read(fd, bytes.data(), bytes.size());
        if (count > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            return false;
        }
    }
    return true;
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t count = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (count > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(count));
        } else if (count < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

} // namespace kestrava::net
