#include "agent-core/host/HostFacts.hpp"

#include "agent-core/runtime/AgentVersion.hpp"
#include "platform/dbus/SdBus.hpp"
#include "platform/files/UserFolders.hpp"
#include "platform/host/BootTime.hpp"
#include "platform/host/GnomeIdleSuspend.hpp"
#include "platform/host/LogindIdleAction.hpp"
#include "platform/host/MemoryInfo.hpp"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <unistd.h>
#include <vector>

namespace kestrava {
namespace {

// The length of the line break that starts at `at`, 0 when none does. CR LF counts as two breaks around
// an empty line, which is dropped anyway.
std::size_t lineBreakLength(std::string_view text, std::size_t at) {
    const char c = text[at];
    if (c == '\n' || c == '\r' || c == '\v' || c == '\f') {
        return 1;
    }
    const std::string_view rest = text.substr(at);
    for (const std::string_view mark :
         {"\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"}) { // U+0085, U+2028, U+2029
        if (rest.starts_with(mark)) {
            return mark.size();
        }
    }
    return 0;
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> found;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t breakLength = at < text.size() ? lineBreakLength(text, at) : 1;
        if (breakLength == 0) {
            ++at;
            continue;
        }
        if (at > start) {
            found.push_back(text.substr(start, at - start));
        }
        at += breakLength;
        start = at;
    }
    return found;
}

std::vector<std::string_view> tokens(std::string_view line) {
    std::vector<std::string_view> found;
    for (std::size_t at = line.find_first_not_of(" \t"); at != std::string_view::npos;
         at = line.find_first_not_of(" \t", at)) {
        const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
        found.push_back(line.substr(at, end - at));
        at = end;
    }
    return found;
}

// An optional sign, then one or more ASCII digits and nothing else, within 64 bits.
std::optional<std::int64_t> decimalInteger(std::string_view token) {
    const bool plus = token.starts_with('+');
    const std::string_view digits = token.substr(plus || token.starts_with('-') ? 1 : 0);
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const std::string_view number = plus ? digits : token; // from_chars takes a minus but no plus
    std::int64_t value = 0;
    if (std::from_chars(number.data(), number.data() + number.size(), value).ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

// Logind's own call limit, also given to the desktop's tool.
constexpr auto sleepReadingLimit = std::chrono::microseconds(dbus::callLimitMicroseconds);

// A desktop the agent's own environment names may suspend by itself: its setting is unknown unless it is
// GNOME's and was read.
bool namesDesktopNotRead(const char* desktop, bool gnomeRead) {
    if (!desktop || *desktop == '\0') {
        return false;
    }
    return !gnomeRead || std::string_view(desktop).find("GNOME") == std::string_view::npos;
}

} // namespace

StatusSnapshot makeStatusSnapshot(bool keepAwake, const PowerSource& power) {
    const Timestamp bootTime = readBootTime();
    const std::int64_t sleepTimer = readSleepTimer(power);
    const Timestamp now = wallClockNow();

    StatusSnapshot snapshot;
    snapshot.uptimeSec = uptimeSeconds(bootTime, now);
    snapshot.freeMemPct = freeMemoryPercent();
    snapshot.onACPower = power.onACPower();
    snapshot.isLaptop = power.isLaptop();
    snapshot.hasFullDiskAccess = hasFullDiskAccess();
    snapshot.agentVersion = agentVersion();
    snapshot.sleepSafe = isSleepSafe(keepAwake, sleepTimer);
    snapshot.pmsetSleep = sleepTimer;
    snapshot.bootTime = bootTime;
    return snapshot;
}

Timestamp readBootTime() {
    return host::kernelBootTime().value_or(wallClockNow());
}

std::int64_t uptimeSeconds(Timestamp boot, Timestamp now) {
    return std::max<std::int64_t>(std::chrono::duration_cast<std::chrono::seconds>(now - boot).count(), 0);
}

std::int64_t readSleepTimer(const PowerSource& power) {
    // The desktop's tool runs while logind is asked, each within the same limit, so the whole reading
    // takes that limit and at most the tool's grace second after it.
    const auto deadline = host::ToolRun::Clock::now() + sleepReadingLimit;
    std::optional<host::GnomeIdleSuspendReading> gnome;
    if (host::gnomePowerSettingsInstalled()) {
        gnome.emplace();
    }
    std::int64_t timer = host::logindIdleSleepMinutes();
    if (gnome) {
        timer = combineSleepTimers(timer, gnome->minutes(power.onACPower(), deadline));
    }
    if (namesDesktopNotRead(std::getenv("XDG_CURRENT_DESKTOP"), gnome.has_value())) {
        timer = combineSleepTimers(timer, -1);
    }
    return timer;
}

std::int64_t combineSleepTimers(std::int64_t first, std::int64_t second) {
    if (first > 0 && second > 0) {
        return std::min(first, second);
    }
    if (first > 0 || second > 0) {
        return std::max(first, second); // the one that fires
    }
    return first == 0 && second == 0 ? 0 : -1;
}

bool isSleepSafe(bool keepAwake, std::int64_t sleepTimer) {
    return keepAwake || sleepTimer == 0;
}

std::int64_t parsePmsetSleepOutput(std::string_view text) {
    for (const std::string_view line : lines(text)) {
        const auto words = tokens(line);
        if (words.size() >= 2 && words[0] == "sleep") {
            if (const auto minutes = decimalInteger(words[1])) {
                return *minutes;
            }
        }
    }
    return -1;
}

std::int64_t freeMemoryPercent() {
    const auto memory = host::readMemoryInfo();
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return memory && pageSize > 0 ? memory->freePercent(static_cast<std::uint64_t>(pageSize)) : 0;
}

bool hasFullDiskAccess() {
    const int fd = ::open(files::homeDirectory().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace kestrava
