#include "platform/process/ExecutableIdentity.hpp"

#include <string>
#include <sys/stat.h>

namespace kestrava::process {

bool runsExecutable(pid_t pid, const std::filesystem::path& path) {
    if (pid <= 0 || path.empty()) {
        return false;
    }
    struct stat running {};
    struct stat expected {};
    const std::string exe = "/proc/" + std::to_string(pid) + "/exe";
    if (::stat(exe.c_str(), &running) != 0 || ::stat(path.c_str(), &expected) != 0) {
        return false;
    }
    return running.st_dev == expected.st_dev && running.st_ino == expected.st_ino;
}

} // namespace kestrava::process
