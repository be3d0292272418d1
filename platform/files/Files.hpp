#pragma once

#include "platform/bytes/Bytes.hpp"

#include <filesystem>
#include <sys/types.h>

namespace kestrava::files {

// The whole file. Throws FileError (ENOENT when there is none).
Bytes readAll(const std::filesystem::path& path);

// Creates the folder and every missing parent with `mode` (set explicitly, whatever the umask); folders
// that exist keep their permissions. Throws FileError.
void createDirectories(const std::filesystem::path& path, mode_t mode);

// Replaces `target` durably: a hidden temporary file of a unique name in the same folder, created
// exclusively with `mode`, filled, flushed to disk and renamed over the target, then the folder itself
// flushed. Readers see the old file or the whole new one; on a failure before the rename the temporary
// file is removed and the target is untouched. Throws FileError.
void replaceDurably(const std::filesystem::path& target, ByteView contents, mode_t mode);

// Renames `from` to `to`, failing with EEXIST when `to` exists. Throws FileError.
void moveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace kestrava::files
