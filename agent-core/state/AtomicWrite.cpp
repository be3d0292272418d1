#include "agent-core/state/AtomicWrite.hpp"

#include "agent-core/runtime/Log.hpp"
#include "agent-core/runtime/TestHarness.hpp"
#include "agent-core/state/DataLocations.hpp"
#include "platform/files/Files.hpp"

#include <cstdio>
#include <cstdlib>

namespace kestrava {

std::optional<files::FileError> atomicWrite(ByteView data, const std::filesystem::path& target) {
    if (isRunningUnderTests() && isInsideRealDataDirectory(target)) {
        std::fprintf(stderr, "test tried to write into the real data folder: %s\n", target.c_str());
        std::abort();
    }
    const std::filesystem::path folder = target.parent_path();
    if (!folder.empty()) {
        files::createDirectories(folder, 0700);
    }
    return files::replaceDurably(target, data, 0600);
}

void logUnflushedFolder(const files::FileError& error) {
    log(LogLevel::warning, std::string("saved, but a power cut may still undo it: ") + error.what());
}

} // namespace kestrava
