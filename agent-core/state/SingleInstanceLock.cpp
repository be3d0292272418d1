#include "agent-core/state/SingleInstanceLock.hpp"

#include "agent-core/runtime/Log.hpp"
#include "agent-core/state/DataLocations.hpp"
#include "platform/files/FileError.hpp"
#include "platform/files/Files.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kestrava {

SingleInstanceLock acquireSingleInstanceLock() {
    try {
        files::createDirectories(dataDirectory(), 0700);
    } catch (const files::FileError&) {
        // Opening the lock file below tells what matters.
    }
    const std::filesystem::path path = dataDirectory() / "agent.lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        logError("cannot open " + path.string() + " (" + files::errorText(errno) +
                 "); running without the single-instance lock");
        return SingleInstanceLock::unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return SingleInstanceLock::takenByAnother;
    }
    // The descriptor stays open, and the lock held, until the process ends.
    return SingleInstanceLock::held;
}

} // namespace kestrava
