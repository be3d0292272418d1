#include "agent-core/runtime/AgentEnvironment.hpp"
#include "agent-core/runtime/AgentVersion.hpp"
#include "agent-core/runtime/TestHarness.hpp"
#include "platform/files/UserFolders.hpp"
#include "platform/json/Reader.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace kestrava {
namespace {

std::optional<json::Object> info(std::string_view text) {
    return *json::parse(text).asObject();
}

TEST(AgentEnvironment, EachNameFallsBackOnItsOwn) {
    EXPECT_EQ(AgentEnvironment::fromInfo(std::nullopt), AgentEnvironment::defaults());
    EXPECT_EQ(AgentEnvironment::fromInfo(info("{}")), AgentEnvironment::defaults());
    EXPECT_EQ(AgentEnvironment::defaults(),
              (AgentEnvironment{"com.veltmoran.kestrava.agent.xpc", "Kestrava",
                                "com.veltmoran.kestrava.agent", "com.veltmoran.kestrava.agent"}));
    const AgentEnvironment mixed = AgentEnvironment::fromInfo(info(R"({
        "KVMachServiceName": "",
        "KVDataDirName": 7,
        "KVKeychainService": " my.service ",
        "KVNotificationPrefix": "pre$(PRODUCT)fix"})"));
    EXPECT_EQ(mixed, (AgentEnvironment{"com.veltmoran.kestrava.agent.xpc", "Kestrava", " my.service ",
                                       "com.veltmoran.kestrava.agent"}));
    EXPECT_EQ(AgentEnvironment::fromInfo(info(R"json({"KVDataDirName": "$(DIR)"})json")).dataDirName,
              "Kestrava");
}

TEST(AgentVersion, ComesFromTheAgentsOwnInfoOnly) {
    EXPECT_EQ(agentVersion(info(R"({"CFBundleIdentifier": "com.veltmoran.kestrava.mac.agent",
        "CFBundleShortVersionString": "1.2", "CFBundleVersion": "34"})")),
              "1.2 (34)");
    EXPECT_EQ(agentVersion(info(R"({"CFBundleIdentifier": "com.veltmoran.kestrava.mac.agent.beta",
        "CFBundleShortVersionString": "1.2"})")),
              "1.2");
    EXPECT_EQ(agentVersion(info(R"({"CFBundleIdentifier": "com.veltmoran.kestrava.mac.app",
        "CFBundleShortVersionString": "1.2", "CFBundleVersion": "34"})")),
              "0.1.1");
    EXPECT_EQ(agentVersion(info(R"({"CFBundleIdentifier": "com.veltmoran.kestrava.mac.agent",
        "CFBundleShortVersionString": 1.2})")),
              "0.1.1");
    EXPECT_EQ(agentVersion(std::nullopt), "0.1.1");
}

TEST(TestHarness, TestProgramsKnowTheyAreTestsAndKeepToAHomeOfTheirOwn) {
    EXPECT_TRUE(isRunningUnderTests());
    const std::filesystem::path home = files::homeDirectory();
    EXPECT_TRUE(home.filename().string().starts_with("kestrava-test-")) << home;
    EXPECT_EQ(files::dataHome(), home / "data");
    EXPECT_EQ(files::stateHome(), home / "state");
}

} // namespace
} // namespace kestrava
