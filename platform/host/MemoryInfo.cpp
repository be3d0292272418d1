#include "platform/host/MemoryInfo.hpp"

#include "platform/host/ProcText.hpp"

namespace kestrava::host {
namespace {

// Values are in kB. Anything above an exbibyte is not a real reading; the bound keeps the sums and the
// percentage below clear of overflow.
constexpr std::uint64_t largestKiB = std::uint64_t{1} << 50;

std::optional<std::uint64_t> bytesOf(std::string_view text, std::string_view label) {
    const auto kiB = procNumber(text, label);
    if (!kiB || *kiB > largestKiB) {
        return std::nullopt;
    }
    return *kiB * 1024;
}

} // namespace

std::int64_t MemoryInfo::freePercent(std::uint64_t pageSize) const {
    const std::uint64_t totalPages = pageSize == 0 ? 0 : totalBytes / pageSize;
    if (totalPages == 0) {
        return 0;
    }
    const std::uint64_t freePages = freeBytes / pageSize;
    if (freePages >= totalPages) {
        return 100;
    }
    return static_cast<std::int64_t>(freePages * 100 / totalPages);
}

std::optional<MemoryInfo> readMemoryInfo(const std::filesystem::path& file) {
    const auto text = procText(file);
    if (!text) {
        return std::nullopt;
    }
    const auto total = bytesOf(*text, "MemTotal:");
    if (!total) {
        return std::nullopt;
    }
    if (const auto available = bytesOf(*text, "MemAvailable:")) {
        return MemoryInfo{*total, *available};
    }
    return MemoryInfo{*total,
                      bytesOf(*text, "MemFree:").value_or(0) + bytesOf(*text, "Inactive:").value_or(0)};
}

} // namespace kestrava::host
