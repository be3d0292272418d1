#include "agent-core/runtime/Log.hpp"

#include "agent-core/runtime/AgentEnvironment.hpp"
#include "platform/files/FileError.hpp"
#include "platform/files/Files.hpp"
#include "platform/files/UserFolders.hpp"
#include "platform/time/Iso8601.hpp"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrava {
namespace {

namespace fs = std::filesystem;

// The log's process-wide state; every member is guarded by `lock`.
struct LogState {
    std::mutex lock;
    std::optional<fs::path> fileURL;
    int handle = -1;
};

LogState& state() {
    static LogState shared;
    return shared;
}

fs::path generation(const fs::path& fileURL, const char* suffix) {
    return fs::path(fileURL).concat(suffix);
}

// Writes all of `bytes`, through short writes and interrupted calls.
bool writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void closeFile(LogState& log) {
    if (log.handle >= 0) {
        ::close(log.handle);
        log.handle = -1;
    }
}

std::string formatLine(LogLevel level, std::string_view message) {
    std::string line = iso8601::format(wallClockNow());
    line += level == LogLevel::info ? " INFO " : level == LogLevel::warning ? " WARN " : " ERROR ";
    line += message;
    line += '\n';
    return line;
}

// Why an existing file is not the log's: only a regular file of this user is written. A link would send
// the lines elsewhere, a FIFO without a reader would block every line, and another user's file would
// show them to that user, who could also have put their own lines in it.
std::optional<std::string> refusal(int handle) {
    struct stat status {};
    if (::fstat(handle, &status) != 0) {
        return files::errorText(errno);
    }
    if (!S_ISREG(status.st_mode)) {
        return "not a regular file";
    }
    if (status.st_uid != ::geteuid()) {
        return "owned by uid " + std::to_string(status.st_uid) + ", not by this user";
    }
    return std::nullopt;
}

// Opens the file for appending, so another process's lines are never overwritten; only a file this
// call creates gets 0600, an existing one keeps its permissions. A file that cannot be opened, or is
// refused, is named in one line on standard error, and the lines then go there only.
void openFile(LogState& log) {
    if (!log.fileURL) {
        return;
    }
    closeFile(log);
    const char* path = log.fileURL->c_str();
    int handle = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    std::optional<std::string> problem;
    if (handle >= 0) {
        ::fchmod(handle, 0600);
    } else {
        // When there is no file to open, why it could not be made is the reason (a folder that is not
        // writable, a full or read-only disk).
        const int createError = errno;
        handle = ::open(path, O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        problem = handle >= 0       ? refusal(handle)
                  : errno == ELOOP  ? "a symbolic link"
                  : errno == ENOENT ? files::errorText(createError)
                                    : files::errorText(errno);
    }
    if (problem) {
        if (handle >= 0) {
            ::close(handle);
        }
        writeAll(STDERR_FILENO,
                 formatLine(LogLevel::error, "not logging to " + log.fileURL->string() + ": " + *problem));
        return;
    }
    log.handle = handle;
}

void moveIgnoringFailure(const fs::path& from, const fs::path& to) {
    try {
        files::moveNoReplace(from, to);
    } catch (const files::FileError&) {
        // A step that fails leaves its file in place; the next line that crosses the threshold retries.
    }
}

void rotate(LogState& log) {
    closeFile(log);
    const fs::path& current = *log.fileURL;
    ::unlink(generation(current, ".2").c_str());
    moveIgnoringFailure(generation(current, ".1"), generation(current, ".2"));
    moveIgnoringFailure(current, generation(current, ".1"));
    openFile(log);
}

void writeLine(LogState& log, std::string_view line) {
    writeAll(STDERR_FILENO, line);
    if (log.handle < 0 || !log.fileURL || !writeAll(log.handle, line)) {
        return;
    }
    // In append mode the position after a write is the end of the file.
    const off_t position = ::lseek(log.handle, 0, SEEK_CUR);
    if (position >= Log::rotationThreshold) {
        rotate(log);
    }
}

} // namespace

void log(LogLevel level, std::string_view message) {
    try {
        const std::string line = formatLine(level, message);
        LogState& shared = state();
        const std::lock_guard guard(shared.lock);
        writeLine(shared, line);
    } catch (...) {
        // Logging never fails its caller, not even when memory runs out.
    }
}

void logError(std::string_view message) {
    log(LogLevel::error, message);
}

namespace Log {

const fs::path& defaultURL() {
    static const fs::path url = files::stateHome() / AgentEnvironment::current().dataDirName / "agent.log";
    return url;
}

// May be called again with another file: the previous one is closed.
void configure(const fs::path& fileURL) {
    LogState& log = state();
    const std::lock_guard guard(log.lock);
    try {
        files::createDirectories(fileURL.parent_path(), 0700);
    } catch (const files::FileError&) {
        // The file cannot be opened then, and the line that says so names it.
    }
    log.fileURL = fileURL;
    openFile(log);
}

} // namespace Log
} // namespace kestrava
