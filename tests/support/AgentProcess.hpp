#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kestrava::test {

// The real agent program, run in a home folder of its own (HOME and the XDG folders below it) and
// without the test-harness variable, so it uses its real data folder and secret store there.
class AgentProcess {
public:
    AgentProcess(const std::filesystem::path& home, const std::vector<std::string>& arguments);
    ~AgentProcess();
    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;

    // Waits until standard error holds `text`; false when the program ended or time ran out first.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(10));

    // Waits until the program has a handler for the signal (start-up installs them after its first line).
    bool waitUntilCatching(int signalNumber, std::chrono::milliseconds limit = std::chrono::seconds(10));

    void signal(int signalNumber);

    // The exit status, or nothing when the program did not end within the limit or ended by a signal.
    std::optional<int> waitForExit(std::chrono::milliseconds limit = std::chrono::seconds(10));

    // Everything written to standard error so far.
    const std::string& output();

private:
    bool readAvailable(std::chrono::milliseconds wait);

    pid_t pid_ = -1;
    int stderrFd_ = -1;
    std::string output_;
    std::optional<int> status_;
};

// The data folder, log file and secret folder the agent uses in `home`.
std::filesystem::path agentDataDirectory(const std::filesystem::path& home);
std::filesystem::path agentLogFile(const std::filesystem::path& home);
std::filesystem::path agentSecretDirectory(const std::filesystem::path& home);

} // namespace kestrava::test
