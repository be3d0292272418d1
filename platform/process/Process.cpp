#include "platform/process/Process.hpp"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern char** environ;

namespace kestrava::process {

Environment environment() {
    Environment variables;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string text = *entry;
        const auto equals = text.find('=');
        if (equals != std::string::npos) {
            variables.emplace(text.substr(0, equals), text.substr(equals + 1));
        }
    }
    return variables;
}

std::string name() {
    return program_invocation_short_name;
}

std::optional<std::filesystem::path> executablePath() {
    std::error_code error;
    auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return std::nullopt;
    }
    return executable;
}

std::optional<std::filesystem::path> executableDirectory() {
    const auto executable = executablePath();
    return executable ? std::optional(executable->parent_path()) : std::nullopt;
}

void terminate(int status) {
    ::_exit(status);
}

bool isStartedByServiceManager() {
    const pid_t parent = ::getppid();
    if (parent == 1) {
        return true;
    }
    const char* manager = std::getenv("MANAGERPID");
    return manager != nullptr && std::string(manager) == std::to_string(parent);
}

} // namespace kestrava::process
