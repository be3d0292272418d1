#pragma once

#include "platform/bytes/Bytes.hpp"
#include "platform/files/FileError.hpp"

#include <filesystem>
#include <optional>

namespace kestrava {

// Replaces `target` with `data` through a hidden ".<name>.<UUID>.tmp" file in the same folder, durably,
// leaving it with permissions 0600; missing folders are created with 0700. Throws files::FileError when the
// target was not replaced. Returns the failure to flush the folder after the replacement, if any: the
// new file is in place and the write has succeeded. In a test run, a target inside the user's real data
// folder stops the process.
[[nodiscard]] std::optional<files::FileError> atomicWrite(ByteView data, const std::filesystem::path& target);

// The warning for a folder that atomicWrite, or the secret store, could not flush after a replacement. A
// log write: never while holding a lock.
void logUnflushedFolder(const files::FileError& error);

} // namespace kestrava
