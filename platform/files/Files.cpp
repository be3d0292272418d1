#include "platform/files/Files.hpp"

#include "platform/files/FileError.hpp"
#include "platform/process/Descriptor.hpp"
#include "platform/uuid/Uuid.hpp"

#include <atomic>
#include <cerrno>
#include <cstdint>
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

std::optional<FileError> syncDirectory(const std::filesystem::path& directory) {
    Descriptor fd(openRetrying(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0 || ::fsync(fd.get()) != 0) {
        return FileError("fsync", directory.string(), errno);
    }
    return std::nullopt;
}

} // namespace

Bytes readAll(const std::filesystem::path& path, std::size_t limit) {
    Descriptor fd(openRetrying(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        fail("open", path);
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        fail("stat", path);
    }
    if (!S_ISREG(status.st_mode)) {
        throw FileError("open", path.string(), EINVAL, "not a regular file");
    }
    const auto tooLarge = [&] {
        return FileError("read", path.string(), EFBIG, "larger than " + std::to_string(limit) + " bytes");
    };
    if (static_cast<std::uintmax_t>(status.st_size) > limit) {
        throw tooLarge();
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
        // Files of the kernel's report a size of 0, and a file may grow while it is read.
        if (contents.size() + static_cast<std::size_t>(count) > limit) {
            throw tooLarge();
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

namespace {

bool isUppercaseUuid(std::string_view text) {
    if (text.size() != 36) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

bool isInterruptedReplacement(std::string_view name) {
    constexpr std::string_view suffix = ".tmp";
    constexpr std::size_t uuidLength = 36;
    // ".", at least one character of the target's name, ".", the UUID, ".tmp"
    if (name.size() < 3 + uuidLength + suffix.size() || !name.starts_with('.') || !name.ends_with(suffix)) {
        return false;
    }
    const std::string_view rest = name.substr(0, name.size() - suffix.size());
    return rest[rest.size() - uuidLength - 1] == '.' &&
           isUppercaseUuid(rest.substr(rest.size() - uuidLength));
}

} // namespace

void removeInterruptedReplacements(const std::filesystem::path& folder) {
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code ignored;
        if (isInterruptedReplacement(entry->path().filename().string()) &&
            entry->symlink_status(ignored).type() == std::filesystem::file_type::regular) {
            std::filesystem::remove(entry->path(), ignored);
        }
    }
}

std::optional<FileError> replaceDurably(const std::filesystem::path& target, ByteView contents, mode_t mode) {
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
    return syncDirectory(folder);
}

namespace {

int systemNoReplaceRename(const char* from, const char* to) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

std::atomic<NoReplaceRename> noReplaceRename{systemNoReplaceRename};

// A folder cannot be hard linked, but rename(2) replaces only an empty folder: one made first holds the
// name, so that anything that appears there meanwhile makes the rename fail rather than be replaced.
void moveFolderWithoutTheFlag(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::mkdir(to.c_str(), 0700) != 0) {
        fail("move", from);
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        const int error = errno;
        ::rmdir(to.c_str()); // only while it is still the empty one made here
        throw FileError("move", from.string(), error);
    }
}

} // namespace

void useNoReplaceRename(NoReplaceRename rename) {
    noReplaceRename.store(rename != nullptr ? rename : systemNoReplaceRename);
}

void moveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (noReplaceRename.load()(from.c_str(), to.c_str()) == 0) {
        return;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        fail("move", from);
    }
    struct stat status {};
    if (::lstat(from.c_str(), &status) != 0) {
        fail("move", from);
    }
    if (S_ISDIR(status.st_mode)) {
        moveFolderWithoutTheFlag(from, to);
        return;
    }
    // A hard link fails on an existing target just the same.
    if (::link(from.c_str(), to.c_str()) != 0) {
        fail("move", from);
    }
    if (::unlink(from.c_str()) != 0) {
        fail("move", from);
    }
}

} // namespace kestrava::files
