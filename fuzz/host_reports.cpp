#include "agent-core/host/HostFacts.hpp"
#include "platform/host/BootTime.hpp"
#include "platform/host/LogindIdleAction.hpp"
#include "platform/host/MemoryInfo.hpp"
#include "platform/host/ProcText.hpp"
#include "platform/process/Descriptor.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

using namespace kestrava;

namespace {

// A file in memory whose path the readers of the kernel's reports open like any other.
struct MemoryFile {
    process::Descriptor fd{::memfd_create("report", MFD_CLOEXEC)};
    std::string path = "/proc/self/fd/" + std::to_string(fd.get());

    static const MemoryFile& report() {
        static const MemoryFile file;
        if (!file.fd.isOpen()) {
            std::abort();
        }
        return file;
    }

    void write(std::string_view text) const {
        if (::ftruncate(fd.get(), 0) != 0 ||
            ::pwrite(fd.get(), text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
            std::abort();
        }
    }
};

} // namespace

// The kernel's reports and the system tools' output, however odd: /proc/meminfo and /proc/stat as files,
// the power tool's output and logind's idle action as text: nothing crashes, and memory and idle
// readings stay in range.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const MemoryFile& report = MemoryFile::report();
    report.write(text);
    if (const auto memory = host::readMemoryInfo(report.path)) {
        const std::int64_t percent = memory->freePercent(4096);
        if (memory->totalBytes >= (std::uint64_t{1} << 61) || memory->freeBytes >= (std::uint64_t{1} << 61) ||
            percent < 0 || percent > 100) {
            std::abort();
        }
    }
    host::kernelBootTime(report.path);
    host::procNumber(text, "btime");
    parsePmsetSleepOutput(text);
    std::uint64_t delay = 0;
    std::memcpy(&delay, data, std::min(size, sizeof delay));
    if (host::idleActionMinutes(text, delay) < 0) {
        std::abort();
    }
    return 0;
}
