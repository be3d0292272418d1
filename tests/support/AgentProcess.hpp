#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <utility>
#include <vector>

namespace kestrava::test {

// The agent program as the build made it.
std::filesystem::path builtAgent();

// How a test starts the agent.
struct AgentProcessOptions {
    // The program to run: the built agent, or an installation of it (installAgent).
    std::filesystem::path program = builtAgent();
    // Started as the service manager starts it (MANAGERPID is this process): it binds its control socket
    // in <home>/run.
    bool asService = false;
    // Further variables, e.g. SSL_CERT_FILE for the tests' relay.
    std::vector<std::pair<std::string, std::string>> environment;
    // Run as this user id, with the group of the same number, instead of the test's; needs root. The home
    // and its runtime folder are given to that user.
    std::optional<uid_t> user;
};

// The real agent program, run in a home folder of its own (HOME, the XDG folders and the runtime folder
// below it) and without the test-harness variable, so it uses its real data folder and secret store there.
// Its standard error is read all the time, so a chatty agent never blocks on it.
class AgentProcess {
public:
    AgentProcess(const std::filesystem::path& home, const std::vector<std::string>& arguments,
                 AgentProcessOptions options = {});
    // Kills the program when it still runs.
    ~AgentProcess();
    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;

    pid_t pid() const noexcept { return pid_; }

    // Waits until standard error holds `text` (after `from` bytes); false when the program ended or time
    // ran out first.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(10),
                       std::size_t from = 0);

    // Waits until the program has a handler for the signal (start-up installs them after its first line).
    bool waitUntilCatching(int signalNumber, std::chrono::milliseconds limit = std::chrono::seconds(10));

    void signal(int signalNumber);

    // The exit status, or nothing when the program did not end within the limit or ended by a signal.
    std::optional<int> waitForExit(std::chrono::milliseconds limit = std::chrono::seconds(10));

    // Everything written to standard error so far.
    std::string output();
    // How often `text` occurs in it.
    std::size_t count(const std::string& text);

private:
    void readOutput(int fd);

    pid_t pid_ = -1;
    std::optional<int> status_;
    std::mutex lock_;
    std::condition_variable grew_;
    std::string output_; // guarded by lock_
    bool ended_ = false; // guarded by lock_: standard error was closed
    std::thread reader_;
};

// The data folder, log file, secret folder and control socket the agent uses in `home`.
std::filesystem::path agentDataDirectory(const std::filesystem::path& home);
std::filesystem::path agentLogFile(const std::filesystem::path& home);
std::filesystem::path agentSecretDirectory(const std::filesystem::path& home);
std::filesystem::path agentControlSocket(const std::filesystem::path& home);

// An installation of the agent `program` (the built one unless given) in `folder` (created): the program,
// and its Info.json with `applicationExecutable` as the one program its control socket admits. Returns
// the program's path.
std::filesystem::path installAgent(const std::filesystem::path& folder,
                                   const std::filesystem::path& applicationExecutable,
                                   const std::filesystem::path& program = builtAgent());

// Writes the Info.json of an installation in `folder`: that of `program`, with `applicationExecutable`
// (as it stands, relative or not) as the one program its control socket admits.
void writeAgentInfo(const std::filesystem::path& folder, const std::filesystem::path& applicationExecutable,
                    const std::filesystem::path& program = builtAgent());

// This test program, the application the tests' agent installations admit.
std::filesystem::path thisProgram();

} // namespace kestrava::test
