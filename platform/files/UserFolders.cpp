#include "platform/files/UserFolders.hpp"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace kestrava::files {
namespace {

std::filesystem::path absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value && value[0] == '/') {
        return value;
    }
    return {};
}

// A field of the effective user's entry in the user database; empty when there is none.
template<class Field>
std::string userEntryField(Field field) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->*field) {
        return found->*field;
    }
    return {};
}

} // namespace

std::filesystem::path homeDirectory() {
    if (auto home = absoluteVariable("HOME"); !home.empty()) {
        return home;
    }
    const std::string folder = userEntryField(&passwd::pw_dir);
    return folder.empty() ? std::filesystem::path("/") : std::filesystem::path(folder);
}

std::string userName() {
    return userEntryField(&passwd::pw_name);
}

std::filesystem::path dataHome() {
    auto folder = absoluteVariable("XDG_DATA_HOME");
    return folder.empty() ? homeDirectory() / ".local" / "share" : folder;
}

std::filesystem::path stateHome() {
    auto folder = absoluteVariable("XDG_STATE_HOME");
    return folder.empty() ? homeDirectory() / ".local" / "state" : folder;
}

std::filesystem::path configHome() {
    auto folder = absoluteVariable("XDG_CONFIG_HOME");
    return folder.empty() ? homeDirectory() / ".config" : folder;
}

} // namespace kestrava::files
