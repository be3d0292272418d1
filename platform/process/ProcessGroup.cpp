#include "platform/process/ProcessGroup.hpp"

#include "platform/process/Descriptor.hpp"

#include <array>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>

namespace kestrava::process {
namespace {

struct ClosedFolder {
    void operator()(DIR* folder) const { ::closedir(folder); }
};

// Whether the process whose /proc/<pid>/stat `stat` is, is a living member of `pgid`. Its name, in
// parentheses, may hold any byte, so the fields are read after the last ')': state, parent, group.
bool isLivingMember(std::string_view stat, pid_t pgid) {
    const auto nameEnd = stat.rfind(')');
    if (nameEnd == std::string_view::npos || nameEnd + 4 >= stat.size()) {
        return false;
    }
    const char state = stat[nameEnd + 2];
    if (state == 'Z' || state == 'X' || state == 'x') {
        return false;
    }
    const std::string fields(stat.substr(nameEnd + 4));
    char* parentEnd = nullptr;
    std::strtol(fields.c_str(), &parentEnd, 10);
    return std::strtol(parentEnd, nullptr, 10) == pgid;
}

bool isProcessEntry(const char* name) {
    return *name != '\0' && std::strspn(name, "0123456789") == std::strlen(name);
}

} // namespace

bool groupHasLivingMember(pid_t pgid) {
    const std::unique_ptr<DIR, ClosedFolder> table(::opendir("/proc"));
    if (!table) {
        return true;
    }
    const int tableFd = ::dirfd(table.get());
    std::array<char, 512> buffer;
    while (const dirent* entry = ::readdir(table.get())) {
        if (!isProcessEntry(entry->d_name)) {
            continue;
        }
        const Descriptor stat(
            ::openat(tableFd, (std::string(entry->d_name) + "/stat").c_str(), O_RDONLY | O_CLOEXEC));
        const ssize_t count = stat.isOpen() ? ::read(stat.get(), buffer.data(), buffer.size()) : -1;
        // A process that ended while the table was read is no member.
        if (count > 0 &&
            isLivingMember(std::string_view(buffer.data(), static_cast<std::size_t>(count)), pgid)) {
            return true;
        }
    }
    return false;
}

} // namespace kestrava::process
