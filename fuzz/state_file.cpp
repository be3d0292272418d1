#include "agent-core/state/StateStore.hpp"
#include "fuzz/support/OwnFolder.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace kestrava;

namespace {

const Timestamp now = timestampFromSeconds(1'800'000'000);

// A folder of this process's own, emptied before each input.
const std::filesystem::path& folder() {
    static const fuzz::OwnFolder own("state-file");
    return own.path();
}

} // namespace

// Whatever the state file holds, loading neither crashes nor hangs; a file that loads saves to one that
// loads to the same phones.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::filesystem::remove_all(folder());
    std::filesystem::create_directories(folder());
    const auto file = folder() / "state.json";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    StateStore store(file, [] { return now; });
    if (store.loadFailed()) {
        return 0;
    }
    store.save();
    const StateStore again(file, [] { return now; });
    if (again.loadFailed() || !(again.phones() == store.phones())) {
        std::abort();
    }
    return 0;
}
