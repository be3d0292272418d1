#include "platform/host/BootTime.hpp"

#include "platform/host/ProcText.hpp"

#include <limits>

namespace kestrava::host {

std::optional<Timestamp> kernelBootTime(const std::filesystem::path& statFile) {
    const auto text = procText(statFile);
    const auto seconds = text ? procNumber(*text, "btime") : std::nullopt;
    // Nanosecond time stamps reach only to the year 2262.
    constexpr std::uint64_t latest = std::numeric_limits<std::int64_t>::max() / 1'000'000'000;
    if (!seconds || *seconds > latest) {
        return std::nullopt;
    }
    return timestampFromSeconds(static_cast<std::int64_t>(*seconds));
}

} // namespace kestrava::host
