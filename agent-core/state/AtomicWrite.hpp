#pragma once

#include "platform/bytes/Bytes.hpp"

#include <filesystem>

namespace kestrava {

// Replaces `target` with `data` through a hidden ".<name>.<UUID>.tmp" file in the same folder, durably,
// leaving it with permissions 0600; missing folders are created with 0700. Throws files::FileError. In a
// test run, a target inside the user's real data folder stops the process.
void atomicWrite(ByteView data, const std::filesystem::path& target);

} // namespace kestrava
