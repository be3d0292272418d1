#include "tests/support/PrivateSessionBus.hpp"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kestrava::test {
namespace {

constexpr int addressFd = 3;

// The first line the daemon writes on `fd`, without its line break.
std::string firstLine(int fd) {
    std::string line;
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        char c = 0;
        if (::poll(&ready, 1, 10'000) <= 0 || ::read(fd, &c, 1) != 1) {
            throw std::runtime_error("dbus-daemon did not tell its address");
        }
        if (c == '\n') {
            return line;
        }
        line += c;
    }
}

} // namespace

PrivateSessionBus::PrivateSessionBus(const std::string& addressVariable) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], addressFd);
    // The daemon complains about limits it may not raise; that is no concern of the tests. Nor may it
    // hold the test's own output open: a daemon left behind by a test that crashed would keep CTest
    // waiting for the end of that output.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string argv[] = {"dbus-daemon", "--session", "--nofork",
                          "--print-address=" + std::to_string(addressFd)};
    char* arguments[] = {argv[0].data(), argv[1].data(), argv[2].data(), argv[3].data(), nullptr};
    const int result = posix_spawnp(&pid_, "dbus-daemon", &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    if (result != 0) {
        ::close(pipe[0]);
        throw std::runtime_error("cannot start dbus-daemon");
    }
    try {
        address_ = firstLine(pipe[0]);
    } catch (...) {
        ::close(pipe[0]);
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        throw;
    }
    ::close(pipe[0]);
    pointed_.emplace(addressVariable, address_);
}

PrivateSessionBus::~PrivateSessionBus() {
    pointed_.reset();
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
}

} // namespace kestrava::test
