#include "platform/process/ProgramOnPath.hpp"

#include "platform/files/FolderList.hpp"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrava::process {
namespace {

std::string searchPath() {
    if (const char* path = std::getenv("PATH")) {
        return path;
    }
    std::string fallback(::confstr(_CS_PATH, nullptr, 0), '\0'); // the size counts the terminating NUL
    if (fallback.empty()) {
        return "/bin:/usr/bin";
    }
    ::confstr(_CS_PATH, fallback.data(), fallback.size());
    fallback.pop_back();
    return fallback;
}

bool isExecutableFile(const std::filesystem::path& candidate) {
    struct stat status {};
    return ::stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           ::access(candidate.c_str(), X_OK) == 0;
}

} // namespace

std::optional<std::filesystem::path> programOnPath(std::string_view name) {
    for (const auto& folder : files::absoluteFolders(searchPath())) {
        if (isExecutableFile(folder / name)) {
            return folder / name;
        }
    }
    return std::nullopt;
}

} // namespace kestrava::process
