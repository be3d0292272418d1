#include "platform/files/Files.hpp"

#include "platform/files/FileError.hpp"
#include "platform/process/Descriptor.hpp"
#include "platform/uuid/Uuid.hpp"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kestrava::files {
namespace {

using process::Descriptor;

[[noreturn]] void fail(const char* operation, const std::filesystem::path& path) {
    throw FileError(operation, path.string(), errno);
}

int openRetrying(const std::filesystem::path& path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

void writeAll(int fd, ByteView bytes, const std::filesystem::path& path) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail("write", path);
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
}

void syncDirectory(const std::filesystem::path& directory) {
    Descriptor fd(openRetrying(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0 || ::fsync(fd.get()) != 0) {
        fail("fsync", directory);
    }
}

} // namespace

Bytes readAll(const std::filesystem::path& path) {
    Descriptor fd(openRetrying(path, O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        fail("open", path);
    }
    Bytes contents;
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail("read", path);
        }
        if (count == 0) {
            return contents;
        }
        contents.insert(contents.end(), buffer, buffer + count);
    }
}

void createDirectories(const std::filesystem::path& path, mode_t mode) {
    std::filesystem::path partial;
    for (const auto& element : path) {
        partial /= element;
        if (::mkdir(partial.c_str(), mode) == 0) {
            if (::chmod(partial.c_str(), mode) != 0) {
                fail("chmod", partial);
            }
        } else if (errno != EEXIST) {
            fail("mkdir", partial);
        }
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        fail("stat", path);
    }
    if (!S_ISDIR(status.st_mode)) {
        throw FileError("mkdir", path.string(), ENOTDIR);
    }
}

void replaceDurably(const std::filesystem::path& target, ByteView contents, mode_t mode) {
    const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
    std::string temporaryName = ".";
    temporaryName.append(target.filename().string())
        .append(".")
        .append(uuid::randomUppercase())
        .append(".tmp");
    const std::filesystem::path temporary = folder / temporaryName;
    Descriptor fd(openRetrying(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (fd.get() < 0) {
        fail("create", temporary);
    }
    try {
        if (::fchmod(fd.get(), mode) != 0) {
            fail("chmod", temporary);
        }
        writeAll(fd.get(), contents, temporary);
        if (::fsync(fd.get()) != 0) {
            fail("fsync", temporary);
        }
        if (fd.close() != 0) {
            fail("close", temporary);
        }
        if (::rename(temporary.c_str(), target.c_str()) != 0) {
            fail("rename", target);
        }
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    syncDirectory(folder);
}

void moveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        fail("move", from);
    }
    // File systems without the flag: a hard link fails on an existing target just the same.
    if (::link(from.c_str(), to.c_str()) != 0) {
        fail("move", from);
    }
    if (::unlink(from.c_str()) != 0) {
        fail("move", from);
    }
}

} // namespace kestrava::files
