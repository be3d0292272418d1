#pragma once

#include <cstddef>

namespace kestrava {

// The largest "config.json" or "state.json" the agent reads. Both stay far below it; anything larger is
// damage or an attack, and is treated as unreadable rather than read whole.
inline constexpr std::size_t maxStoredFileSize = 16 * 1024 * 1024;

} // namespace kestrava
