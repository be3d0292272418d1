#include "agent-core/runtime/AgentEnvironment.hpp"
#include "agent-core/state/SystemKeychain.hpp"
#include "platform/files/UserFolders.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

TEST(SystemKeychain, TestRunNeverTouchesTheStore) {
    const auto folder = files::dataHome() / AgentEnvironment::current().keychainService;
    SystemKeychain keychain;
    EXPECT_EQ(keychain.read("agentToken"), SecretReadOutcome{SecretReadOutcome::Failed{-25308}});
    EXPECT_FALSE(keychain.write("agentToken", bytesOf("token")));

    testing::internal::CaptureStderr();
    keychain.deleteAgentToken();
    EXPECT_NE(testing::internal::GetCapturedStderr().find(
                  " ERROR could not delete stale agentToken from Keychain\n"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder));
}

} // namespace
} // namespace kestrava
