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
#include <sstream>

namespace kestrava {
namespace {

using test::AgentProcess;

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
    for (const std::string value : {"", "relay.example.com", "https://"}) {
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

TEST(AgentProcess, RunsWithoutTheLockWhenItsFileCannotBeOpened) {
    test::TemporaryDirectory home;
    const auto folder = test::agentDataDirectory(home.path());
    files::createDirectories(folder, 0700);
    // A link where the lock file should be is never followed.
    std::filesystem::create_symlink(home / "elsewhere", folder / "agent.lock");
    AgentProcess first(home.path(), {});
    ASSERT_TRUE(first.waitForOutput(starting)) << first.output();
    EXPECT_NE(first.output().find("running without the single-instance lock"), std::string::npos);
    AgentProcess second(home.path(), {});
    ASSERT_TRUE(second.waitForOutput(starting)) << second.output();
    for (AgentProcess* agent : {&first, &second}) {
        ASSERT_TRUE(agent->waitUntilCatching(SIGTERM));
        agent->signal(SIGTERM);
        EXPECT_EQ(agent->waitForExit(), 0);
    }
}

} // namespace
} // namespace kestrava
