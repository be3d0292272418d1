#include "agent-core/Agent.hpp"
#include "agent-core/state/Config.hpp"
#include "agent-core/state/StateStore.hpp"
#include "platform/files/Files.hpp"
#include "tests/support/AgentProcess.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"
#include "tests/support/TestPhone.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrava {
namespace {

using test::AgentProcess;
using test::AgentProcessOptions;

constexpr const char* starting = "INFO kestrava-agent ";

// A machine that was set up for `backend` and has one paired phone.
void pairOnePhone(const std::filesystem::path& home, const std::string& backend) {
    const auto folder = test::agentDataDirectory(home);
    Config{*url::Url::parseReference(backend), "device-1", "Mac", false}.save(folder / "config.json");
    StateStore state(folder / "state.json");
    const test::TestPhone phone = test::TestPhone::fixed();
    state.upsert(
        {"phone-1", "Phone", phone.signPub(), phone.agreePub(), timestampFromSeconds(1700000000), {}});
    state.save();
}

// The soft and hard core size limits of a running process, as the kernel reports them.
std::string coreSizeLimits(pid_t pid) {
    constexpr std::string_view label = "Max core file size";
    std::istringstream limits(test::fileText("/proc/" + std::to_string(pid) + "/limits"));
    for (std::string line; std::getline(limits, line);) {
        if (line.starts_with(label)) {
            std::istringstream fields(line.substr(label.size()));
            std::string soft, hard;
            fields >> soft >> hard;
            return soft + " " + hard;
        }
    }
    return "none";
}

uid_t ownerOf(const std::filesystem::path& file) {
    struct stat status {};
    EXPECT_EQ(::stat(file.c_str(), &status), 0) << file;
    return status.st_uid;
}

TEST(AgentProcess, RunsUntilASignalAndLeavesItsFiles) {
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        test::TemporaryDirectory home;
        AgentProcess agent(home.path(), {"--backend", "https://relay.example.com"});
        ASSERT_TRUE(agent.waitForOutput(" starting\n")) << agent.output();
        ASSERT_TRUE(agent.waitUntilCatching(signalNumber));
        agent.signal(signalNumber);
        EXPECT_EQ(agent.waitForExit(), 0);
        const std::string line = "INFO signal " + std::to_string(signalNumber) + ": shutting down\n";
        EXPECT_NE(agent.output().find(line), std::string::npos) << agent.output();

        const std::string log = test::fileText(test::agentLogFile(home.path()));
        // The version comes from the Info.json the build put beside the program.
        EXPECT_NE(log.find("Z INFO kestrava-agent " KESTRAVA_VERSION " (1) starting\n"), std::string::npos)
            << log;
        EXPECT_NE(log.find(line), std::string::npos);
        EXPECT_NE(test::fileText(test::agentDataDirectory(home.path()) / "config.json")
                      .find(R"("backendURL" : "https:\/\/relay.example.com")"),
                  std::string::npos);
        EXPECT_TRUE(std::filesystem::exists(test::agentSecretDirectory(home.path()) / "macAgreeKey"));
    }
}

// Holding a private key, the agent leaves no core file and is not dumpable: the kernel then gives its
// files in /proc to root (their folder keeps its owner), so that no other process of its user reads its
// memory. Its hard limit stays as it was, for the commands it runs. Run as root, the test runs it as
// another user.
TEST(AgentProcess, LeavesNoCoreFileAndNoMemoryToItsOwnUser) {
    constexpr uid_t nobody = 65534;
    test::TemporaryDirectory home;
    AgentProcessOptions options;
    if (::geteuid() == 0) {
        options.user = nobody;
    }
    AgentProcess agent(home.path(), {"--backend", "https://relay.example.com"}, options);
    ASSERT_TRUE(agent.waitForOutput(" starting\n")) << agent.output();
    rlimit started{};
    ASSERT_EQ(::getrlimit(RLIMIT_CORE, &started), 0);
    EXPECT_EQ(coreSizeLimits(agent.pid()),
              "0 " + (started.rlim_max == RLIM_INFINITY ? "unlimited" : std::to_string(started.rlim_max)));
    const std::filesystem::path folder = "/proc/" + std::to_string(agent.pid());
    EXPECT_NE(ownerOf(folder), 0u);
    EXPECT_EQ(ownerOf(folder / "mem"), 0u);
}

TEST(AgentProcess, OnlyOneAgentRunsPerUser) {
    test::TemporaryDirectory home;
    AgentProcess first(home.path(), {"--backend", "https://relay.example.com"});
    ASSERT_TRUE(first.waitForOutput(starting));
    AgentProcess second(home.path(), {});
    EXPECT_EQ(second.waitForExit(), 1);
    EXPECT_NE(second.output().find(" ERROR another kestrava-agent is already running\n"), std::string::npos);
    EXPECT_EQ(second.output().find(starting), std::string::npos);

    ASSERT_TRUE(first.waitUntilCatching(SIGTERM));
    first.signal(SIGTERM);
    EXPECT_EQ(first.waitForExit(), 0);
    // Both lines reach the one log file; neither process overwrote the other's.
    const std::string log = test::fileText(test::agentLogFile(home.path()));
    EXPECT_EQ(test::occurrences(log, "another kestrava-agent is already running"), 1u);
    EXPECT_EQ(test::occurrences(log, "shutting down"), 1u);
}

TEST(AgentProcess, RefusesABadOrChangedRelayBeforeTouchingSecrets) {
    for (const std::string value : {"", "relay.example.com", "https://", "https://relay.example.com:99999"}) {
        test::TemporaryDirectory home;
        AgentProcess agent(home.path(), {"--backend", value});
        EXPECT_EQ(agent.waitForExit(), 2);
        EXPECT_EQ(test::occurrences(agent.output(), " ERROR "), 1u);
        EXPECT_NE(agent.output().find(" ERROR invalid backend URL: " + value + "\n"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(test::agentSecretDirectory(home.path())));
    }
    {
        test::TemporaryDirectory home;
        AgentProcess agent(home.path(), {"--backend", "http://relay.example.com"});
        EXPECT_EQ(agent.waitForExit(), 2);
        EXPECT_NE(agent.output().find("backend URL http://relay.example.com is not https"),
                  std::string::npos);
    }
    test::TemporaryDirectory home;
    pairOnePhone(home.path(), "https://relay.example.com");
    const std::string before = test::fileText(test::agentDataDirectory(home.path()) / "config.json");
    AgentProcess agent(home.path(), {"--backend", "https://other.example.com"});
    EXPECT_EQ(agent.waitForExit(), 64);
    EXPECT_NE(agent.output().find(
                  " ERROR backend URL change refused: 1 iPhone(s) paired; unpair the iPhones first\n"),
              std::string::npos);
    EXPECT_EQ(test::fileText(test::agentDataDirectory(home.path()) / "config.json"), before);
    EXPECT_FALSE(std::filesystem::exists(test::agentSecretDirectory(home.path())));
}

// With a phone paired too: the key is read first, so every line names it and the token is never read.
TEST(AgentProcess, SaysWhatIsWrongWithASecretStoreItRefuses) {
    test::TemporaryDirectory home;
    pairOnePhone(home.path(), "https://relay.example.com");
    const auto secrets = test::agentSecretDirectory(home.path());
    files::createDirectories(secrets, 0755);
    AgentProcess agent(home.path(), {"--backend", "https://relay.example.com"});
    // Five attempts, a second and then twice as long before each next one.
    EXPECT_EQ(agent.waitForExit(std::chrono::seconds(30)), Agent::exitIdentityFailure);
    const std::string output = agent.output();
    const std::string problem = " ERROR secret store folder " + secrets.string() + " is refused: owner uid ";
    EXPECT_EQ(test::occurrences(output, problem), 1u) << output;
    EXPECT_LT(output.find(problem),
              output.find("Keychain read of macAgreeKey failed (OSStatus -36), attempt 1/"))
        << output;
    EXPECT_EQ(
        test::occurrences(output, " ERROR Keychain read of macAgreeKey failed (OSStatus -36), attempt "), 5u);
    EXPECT_NE(output.find(" ERROR Keychain read of macAgreeKey failed with OSStatus -36 after retries\n"),
              std::string::npos);
    EXPECT_EQ(output.find("agentToken"), std::string::npos) << output;
}

constexpr const char* interruptedConfigWrite = ".config.json.0F8FA1C2-1234-4ABC-9DEF-0123456789AB.tmp";

TEST(AgentProcess, RunsWithoutTheLockWhenItsFileCannotBeOpened) {
    // A link where the lock file should be is never followed; a folder cannot be locked.
    const std::function<void(const std::filesystem::path&)> blockers[] = {
        [](const std::filesystem::path& lock) {
            std::filesystem::create_symlink(lock.parent_path() / "x", lock);
        },
        [](const std::filesystem::path& lock) { std::filesystem::create_directory(lock); }};
    for (const auto& block : blockers) {
        test::TemporaryDirectory home;
        const auto folder = test::agentDataDirectory(home.path());
        files::createDirectories(folder, 0700);
        block(folder / "agent.lock");
        test::writeText(folder / interruptedConfigWrite, "{}");
        AgentProcess first(home.path(), {});
        ASSERT_TRUE(first.waitForOutput(starting)) << first.output();
        EXPECT_NE(first.output().find(" ERROR cannot open " + (folder / "agent.lock").string()),
                  std::string::npos);
        EXPECT_NE(first.output().find("running without the single-instance lock"), std::string::npos);
        AgentProcess second(home.path(), {});
        ASSERT_TRUE(second.waitForOutput(starting)) << second.output();
        for (AgentProcess* agent : {&first, &second}) {
            ASSERT_TRUE(agent->waitUntilCatching(SIGTERM));
            agent->signal(SIGTERM);
            EXPECT_EQ(agent->waitForExit(), 0);
        }
        // Without the lock another agent may be writing that very file.
        EXPECT_TRUE(std::filesystem::exists(folder / interruptedConfigWrite));
    }
}

TEST(AgentProcess, RemovesWhatInterruptedWritesLeftAndNothingElse) {
    test::TemporaryDirectory home;
    const auto data = test::agentDataDirectory(home.path());
    const auto secrets = test::agentSecretDirectory(home.path());
    files::createDirectories(data, 0700);
    files::createDirectories(secrets, 0700);
    const std::string uuid = "0F8FA1C2-1234-4ABC-9DEF-0123456789AB";
    const std::filesystem::path leftovers[] = {data / interruptedConfigWrite,
                                               data / (".state.json." + uuid + ".tmp"),
                                               secrets / (".agentToken." + uuid + ".tmp")};
    const std::filesystem::path others[] = {data / "notes.tmp",
                                            data / ".config.json.tmp",
                                            data / (".x." + uuid.substr(1) + "0.tmp.old"),
                                            data / ".x.0f8fa1c2-1234-4abc-9def-0123456789ab.tmp",
                                            data / ("." + uuid + ".tmp"),
                                            secrets / "agentToken"};
    for (const auto& file : leftovers) {
        test::writeText(file, "partial");
    }
    for (const auto& file : others) {
        test::writeText(file, "kept");
    }
    std::filesystem::create_directory(data / (".folder." + uuid + ".tmp"));
    std::filesystem::create_symlink(data / "notes.tmp", data / (".link." + uuid + ".tmp"));

    AgentProcess agent(home.path(), {"--backend", "https://"});
    EXPECT_EQ(agent.waitForExit(), 2);
    for (const auto& file : leftovers) {
        EXPECT_FALSE(std::filesystem::exists(file)) << file;
    }
    for (const auto& file : others) {
        EXPECT_TRUE(std::filesystem::exists(file)) << file;
    }
    EXPECT_TRUE(std::filesystem::is_directory(data / (".folder." + uuid + ".tmp")));
    EXPECT_TRUE(std::filesystem::is_symlink(data / (".link." + uuid + ".tmp")));
}

} // namespace
} // namespace kestrava
