#include "platform/process/LoginShell.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

namespace kestrava::process {
namespace {

TEST(LoginShellTest, TrustsOnlyZshAndBashInTheSystemFolders) {
    EXPECT_EQ(loginShellPath("/bin/zsh"), "/bin/zsh");
    EXPECT_EQ(loginShellPath("/bin/bash"), "/bin/bash");
    EXPECT_EQ(loginShellPath("/usr/bin/zsh"), "/usr/bin/zsh");
    EXPECT_EQ(loginShellPath("/usr/bin/bash"), "/usr/bin/bash");

    const std::string fallback = ::access("/bin/zsh", X_OK) == 0 ? "/bin/zsh" : "/bin/bash";
    EXPECT_EQ(loginShellPath("/usr/local/bin/fish"), fallback);
    EXPECT_EQ(loginShellPath("/usr/local/bin/bash"), fallback);
    EXPECT_EQ(loginShellPath("/bin/bash "), fallback);
    EXPECT_EQ(loginShellPath("bash"), fallback);
    EXPECT_EQ(loginShellPath(""), fallback);
    EXPECT_EQ(loginShellPath(nullptr), fallback);
}

} // namespace
} // namespace kestrava::process
