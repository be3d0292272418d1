#include "app/runtime/DisplaySession.hpp"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace kestrava::app {
namespace {

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? std::optional<std::string>(value) : std::nullopt;
}

// The X server's own client library: it reads the display's every form and the user's authority file,
// as Qt's connection will.
bool x11Answers(const std::string& display) {
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

// The compositor's socket: the display's own path when absolute, else that name in the runtime folder.
bool waylandAnswers(const std::string& display) {
    std::filesystem::path socketPath(display);
    if (socketPath.is_relative()) {
        const auto runtime = variable("XDG_RUNTIME_DIR");
        if (!runtime) {
            return false;
        }
        socketPath = std::filesystem::path(*runtime) / socketPath;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.native().size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.native().size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool answers =
        fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return answers;
}

} // namespace

DisplaySession currentDisplaySession() {
    DisplaySession session{variable("DISPLAY"), variable("WAYLAND_DISPLAY"), variable("QT_QPA_PLATFORM")};
    if (!session.requestedPlatform) {
        session.x11Answers = session.x11Display && x11Answers(*session.x11Display);
        session.waylandAnswers = session.waylandDisplay && waylandAnswers(*session.waylandDisplay);
    }
    return session;
}

} // namespace kestrava::app
