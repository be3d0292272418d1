#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace kestrava::host {

// Physical memory, and the part of it that is free for new work, in bytes (below 2^61 each, as
// readMemoryInfo gives them, so that the percentage cannot overflow).
struct MemoryInfo {
    std::uint64_t totalBytes = 0;
    std::uint64_t freeBytes = 0;

    // Free pages times 100 divided by total pages (whole pages, integer division), at most 100; 0 when
    // the total is below one page.
    std::int64_t freePercent(std::uint64_t pageSize) const;
};

// From a file in the form of /proc/meminfo: the total is MemTotal; free is MemAvailable where the kernel
// gives it, else MemFree plus Inactive. Nothing when the file cannot be read or has no MemTotal.
std::optional<MemoryInfo> readMemoryInfo(const std::filesystem::path& file = "/proc/meminfo");

} // namespace kestrava::host
