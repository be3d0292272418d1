#include "fuzz/support/OwnFolder.hpp"
#include "platform/host/GnomeIdleSuspend.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace kestrava;

namespace {

// A stand-in for the settings tool in a folder of this process's own: it prints the input's first line for
// the suspend type and the rest for the time-out.
struct FakeSettingsTool {
    fuzz::OwnFolder folder{"idle-settings"};
    std::filesystem::path program = folder / "gsettings";
    std::filesystem::path output = folder / "output";

    FakeSettingsTool() {
        std::ofstream(program) << "#!/bin/sh\ncase \"$3\" in\n*-type) exec sed -n 1p '" << output.string()
                               << "' ;;\n*) exec sed 1d '" << output.string() << "' ;;\nesac\n";
        ::chmod(program.c_str(), 0700);
    }

    static const FakeSettingsTool& tool() {
        static const FakeSettingsTool instance;
        return instance;
    }
};

} // namespace

// Whatever the desktop's settings tool prints, the idle suspend it gives is a sleep timer: minutes, 0 for
// never or -1 for unknown. The first byte picks the power source.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const FakeSettingsTool& tool = FakeSettingsTool::tool();
    std::ofstream(tool.output, std::ios::binary)
        .write(reinterpret_cast<const char*>(data) + 1, static_cast<std::streamsize>(size - 1));
    if (host::gnomeIdleSuspendMinutes(data[0] % 2 == 0, tool.program) < -1) {
        std::abort();
    }
    return 0;
}
