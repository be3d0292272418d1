#include "platform/process/GroupLeaderSpawn.hpp"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace kestrava::process {
namespace {

class FileActions {
public:
    FileActions() { posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() noexcept { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

class Attributes {
public:
    Attributes() { posix_spawnattr_init(&attributes_); }
    ~Attributes() { posix_spawnattr_destroy(&attributes_); }
    Attributes(const Attributes&) = delete;
    Attributes& operator=(const Attributes&) = delete;
    posix_spawnattr_t* get() noexcept { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

} // namespace

std::optional<pid_t> spawnGroupLeader(const std::filesystem::path& program,
                                      const std::vector<std::string>& arguments,
                                      const std::filesystem::path& workingDirectory, int standardOutput,
                                      int standardError) {
    FileActions actions;
    if (posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0) != 0 ||
        posix_spawn_file_actions_adddup2(actions.get(), standardOutput, STDOUT_FILENO) != 0 ||
        posix_spawn_file_actions_adddup2(actions.get(), standardError, STDERR_FILENO) != 0 ||
        // Not every descriptor of the agent is close-on-exec (sockets of the event loop are not).
        posix_spawn_file_actions_addclosefrom_np(actions.get(), STDERR_FILENO + 1) != 0 ||
        posix_spawn_file_actions_addchdir_np(actions.get(), workingDirectory.c_str()) != 0) {
        return std::nullopt;
    }

    // An ignored signal (the agent ignores SIGPIPE) or a blocked one would otherwise carry over into the
    // program.
    Attributes attributes;
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(attributes.get(), &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(attributes.get(), &signals);
    posix_spawnattr_setpgroup(attributes.get(), 0);
    posix_spawnattr_setflags(attributes.get(),
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<std::string> texts = arguments;
    std::vector<char*> argv;
    argv.reserve(texts.size() + 1);
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);

    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), actions.get(), attributes.get(), argv.data(), environ) != 0) {
        return std::nullopt;
    }
    return pid;
}

} // namespace kestrava::process
