#include "tests/support/AgentProcess.hpp"

#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"
#include "tests/support/TestFiles.hpp"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kestrava::test {
namespace {

std::vector<std::string> environmentFor(const std::filesystem::path& home,
                                        const AgentProcessOptions& options) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        const bool replaced = std::any_of(options.environment.begin(), options.environment.end(),
                                          [&](const auto& variable) { return variable.first == name; });
        if (name != "KESTRAVA_TEST_HARNESS" && name != "HOME" && name != "MANAGERPID" &&
            !name.starts_with("XDG_") && !replaced) {
            variables.push_back(text);
        }
    }
    variables.push_back("HOME=" + home.string());
    variables.push_back("XDG_DATA_HOME=" + (home / "data").string());
    variables.push_back("XDG_STATE_HOME=" + (home / "state").string());
    variables.push_back("XDG_RUNTIME_DIR=" + (home / "run").string());
    if (options.asService) {
        variables.push_back("MANAGERPID=" + std::to_string(::getpid()));
    }
    for (const auto& [name, value] : options.environment) {
        variables.push_back(name + "=" + value);
    }
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

std::filesystem::path builtAgent() {
    return KESTRAVA_AGENT_PATH;
}

AgentProcess::AgentProcess(const std::filesystem::path& home, const std::vector<std::string>& arguments,
                           AgentProcessOptions options) {
    std::filesystem::create_directories(home / "run");
    std::filesystem::permissions(home / "run", std::filesystem::perms::owner_all);
    if (options.user) {
        for (const auto& folder : {home, home / "run"}) {
            if (::chown(folder.c_str(), *options.user, *options.user) != 0) {
                throw std::runtime_error("cannot give " + folder.string() + " to the agent's user");
            }
        }
    }
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDERR_FILENO);
    std::vector<std::string> argv{options.program.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    if (options.user) {
        // setpriv takes the ids and then becomes the agent, under the same pid.
        const std::string id = std::to_string(*options.user);
        argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups"});
    }
    std::vector<std::string> environment = environmentFor(home, options);
    const int result = posix_spawn(&pid_, argv.front().c_str(), &actions, nullptr, pointersTo(argv).data(),
                                   pointersTo(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    if (result != 0) {
        ::close(pipe[0]);
        throw std::runtime_error("cannot start the agent");
    }
    reader_ = std::thread([this, fd = pipe[0]] { readOutput(fd); });
}

AgentProcess::~AgentProcess() {
    if (!status_) {
        ::kill(pid_, SIGKILL);
        waitForExit();
    }
    // Children the agent started may hold standard error open a little longer.
    reader_.join();
}

void AgentProcess::readOutput(int fd) {
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        const std::lock_guard held(lock_);
        if (count <= 0) {
            ended_ = true;
            grew_.notify_all();
            break;
        }
        output_.append(buffer, static_cast<std::size_t>(count));
        grew_.notify_all();
    }
    ::close(fd);
}

bool AgentProcess::waitForOutput(const std::string& text, std::chrono::milliseconds limit, std::size_t from) {
    std::unique_lock held(lock_);
    return grew_.wait_for(held, limit, [&] {
        return output_.find(text, std::min(from, output_.size())) != std::string::npos || ended_;
    }) && output_.find(text, std::min(from, output_.size())) != std::string::npos;
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
    {
        // Everything it wrote before it ended is read (children that still hold standard error aside).
        std::unique_lock held(lock_);
        grew_.wait_for(held, std::chrono::seconds(1), [&] { return ended_; });
    }
    return *status_ >= 0 ? status_ : std::nullopt;
}

std::string AgentProcess::output() {
    const std::lock_guard held(lock_);
    return output_;
}

std::size_t AgentProcess::count(const std::string& text) {
    const std::string all = output();
    std::size_t found = 0;
    for (auto at = all.find(text); at != std::string::npos; at = all.find(text, at + text.size())) {
        ++found;
    }
    return found;
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

std::filesystem::path agentControlSocket(const std::filesystem::path& home) {
    return home / "run" / "com.veltmoran.kestrava.agent.xpc";
}

std::filesystem::path installAgent(const std::filesystem::path& folder,
                                   const std::filesystem::path& applicationExecutable,
                                   const std::filesystem::path& program) {
    std::filesystem::create_directories(folder);
    const std::filesystem::path installed = folder / program.filename();
    // A hard link runs as the file it names, and finds its Info.json beside the link.
    std::error_code linkFailed;
    std::filesystem::create_hard_link(program, installed, linkFailed);
    if (linkFailed) {
        std::filesystem::copy_file(program, installed);
    }
    writeAgentInfo(folder, applicationExecutable, program);
    return installed;
}

void writeAgentInfo(const std::filesystem::path& folder, const std::filesystem::path& applicationExecutable,
                    const std::filesystem::path& program) {
    const json::Value info = json::parse(fileText(program.parent_path() / "Info.json"));
    json::Object changed;
    for (const auto& member : info.asObject()->members()) {
        if (member.key != "KVAppExecutable") {
            changed.add(member.key, member.value);
        }
    }
    changed.add("KVAppExecutable", applicationExecutable.string());
    writeText(folder / "Info.json", json::write(changed, {}));
}

std::filesystem::path thisProgram() {
    return std::filesystem::read_symlink("/proc/self/exe");
}

} // namespace kestrava::test
