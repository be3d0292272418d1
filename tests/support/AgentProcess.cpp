#include "tests/support/AgentProcess.hpp"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace kestrava::test {
namespace {

std::vector<std::string> environmentFor(const std::filesystem::path& home) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        if (name != "KESTRAVA_TEST_HARNESS" && name != "HOME" && !name.starts_with("XDG_")) {
            variables.push_back(text);
        }
    }
    variables.push_back("HOME=" + home.string());
    variables.push_back("XDG_DATA_HOME=" + (home / "data").string());
    variables.push_back("XDG_STATE_HOME=" + (home / "state").string());
    variables.push_back("XDG_RUNTIME_DIR=" + (home / "run").string());
    return variables;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

AgentProcess::AgentProcess(const std::filesystem::path& home, const std::vector<std::string>& arguments) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDERR_FILENO);
    std::vector<std::string> argv{KESTRAVA_AGENT_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = environmentFor(home);
    const int result = posix_spawn(&pid_, KESTRAVA_AGENT_PATH, &actions, nullptr, pointersTo(argv).data(),
                                   pointersTo(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    stderrFd_ = pipe[0];
    if (result != 0) {
        ::close(stderrFd_);
        throw std::runtime_error("cannot start the agent");
    }
}

AgentProcess::~AgentProcess() {
    if (!status_) {
        ::kill(pid_, SIGKILL);
        waitForExit();
    }
    ::close(stderrFd_);
}

bool AgentProcess::readAvailable(std::chrono::milliseconds wait) {
    pollfd ready{stderrFd_, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(wait.count())) <= 0) {
        return false;
    }
    char buffer[4096];
    const ssize_t count = ::read(stderrFd_, buffer, sizeof buffer);
    if (count <= 0) {
        return false;
    }
    output_.append(buffer, static_cast<std::size_t>(count));
    return true;
}

bool AgentProcess::waitForOutput(const std::string& text, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (output_.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !readAvailable(left)) {
            return output_.find(text) != std::string::npos;
        }
    }
    return true;
}

bool AgentProcess::waitUntilCatching(int signalNumber, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const std::string statusFile = "/proc/" + std::to_string(pid_) + "/status";
    do {
        std::ifstream status(statusFile);
        std::string line;
        while (std::getline(status, line)) {
            if (line.starts_with("SigCgt:")) {
                const unsigned long long caught = std::stoull(line.substr(7), nullptr, 16);
                if (caught & (1ULL << (signalNumber - 1))) {
                    return true;
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

void AgentProcess::signal(int signalNumber) {
    ::kill(pid_, signalNumber);
}

std::optional<int> AgentProcess::waitForExit(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!status_) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    while (readAvailable(std::chrono::milliseconds(0))) {
    }
    return *status_ >= 0 ? status_ : std::nullopt;
}

const std::string& AgentProcess::output() {
    while (readAvailable(std::chrono::milliseconds(0))) {
    }
    return output_;
}

std::filesystem::path agentDataDirectory(const std::filesystem::path& home) {
    return home / "data" / "Kestrava";
}

std::filesystem::path agentLogFile(const std::filesystem::path& home) {
    return home / "state" / "Kestrava" / "agent.log";
}

std::filesystem::path agentSecretDirectory(const std::filesystem::path& home) {
    return home / "data" / "com.veltmoran.kestrava.agent";
}

} // namespace kestrava::test
