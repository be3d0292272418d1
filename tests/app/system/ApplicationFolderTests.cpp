#include "app/system/ApplicationFolder.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

namespace fs = std::filesystem;

// The folder above the application's goes with it only when the agent lies in it beside the application's
// own folder; an agent in the application's own folder, or below it, keeps the move to that folder, so a
// flat folder on a stick never takes the whole medium with it.
TEST(ApplicationFolder, TheParentOnlyWhenTheAgentLiesBesideTheApplicationsFolder) {
    const struct {
        const char* what;
        fs::path executableFolder;
        std::optional<fs::path> agent;
        fs::path travels;
    } layouts[] = {
        {"build tree", "/b/app", "/b/agent/kestrava-agent", "/b"},
        {"installed tree", "/p/bin", "/p/libexec/kestrava/kestrava-agent", "/p"},
        {"named the long way", "/b/app", "/b/app/../agent/kestrava-agent", "/b"},
        {"flat folder", "/media/u/STICK", "/media/u/STICK/kestrava-agent", "/media/u/STICK"},
        {"below the application", "/media/u/STICK/k", "/media/u/STICK/k/libexec/kestrava-agent",
         "/media/u/STICK/k"},
        {"elsewhere", "/media/u/STICK/k", "/opt/kestrava-agent", "/media/u/STICK/k"},
        {"no agent", "/b/app", std::nullopt, "/b/app"},
        {"under the root", "/bin", "/libexec/kestrava-agent", "/bin"},
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.what);
        EXPECT_EQ(app::applicationFolder(layout.executableFolder, layout.agent), layout.travels);
    }
}

} // namespace
} // namespace kestrava
