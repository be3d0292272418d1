#pragma once

#include "platform/bytes/Bytes.hpp"
#include "platform/files/FileError.hpp"

#include <filesystem>
#include <optional>
#include <sys/types.h>

namespace kestrava::files {

// The whole file, which must be a regular file of at most `limit` bytes. It is opened without waiting,
// so a FIFO or device in its place is refused (EINVAL) rather than blocking; a longer file is refused with
// EFBIG. Throws FileError (ENOENT when there is none).
Bytes readAll(const std::filesystem::path& path, std::size_t limit);

// Creates the folder and every missing parent with `mode` (set explicitly, whatever the umask); folders
// that exist keep their permissions. Throws FileError.
void createDirectories(const std::filesystem::path& path, mode_t mode);

// Replaces `target` durably: a hidden temporary file of a unique name in the same folder, created
// exclusively with `mode`, filled, flushed to disk and renamed over the target, then the folder itself
// flushed. Readers see the old file or the whole new one. Throws FileError when the target was not
// replaced; the temporary file is then removed. Once renamed, the new file is in place and the write has
// succeeded: a failure to flush the folder after that is returned, since only a power cut before the
// system writes the folder back could still bring back the old file.
[[nodiscard]] std::optional<FileError> replaceDurably(const std::filesystem::path& target, ByteView contents,
                                                      mode_t mode);

// Removes what replaceDurably leaves behind when the process dies before its rename: the regular files
// in `folder` named "." + a name + "." + an upper-case UUID + ".tmp". Only for a folder no other process
// is writing to at the time. A missing folder, and files that cannot be removed, are passed over.
void removeInterruptedReplacements(const std::filesystem::path& folder);

// Renames `from` to `to`, failing with EEXIST when `to` exists. Throws FileError.
void moveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// The system's rename that refuses an existing target, as moveNoReplace first tries it: 0, or -1 with
// errno set. Tests put another in its place to stand for a file system that lacks it (EINVAL); none puts
// the system's back.
using NoReplaceRename = int (*)(const char* from, const char* to);
void useNoReplaceRename(NoReplaceRename rename);

} // namespace kestrava::files
