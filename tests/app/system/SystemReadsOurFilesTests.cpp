// What the build, its install and the application write, read by the system's own tools and by the
// programs themselves from where they are installed.
#include "agent-core/runtime/AgentEnvironment.hpp"
#include "app/system/AgentExecutable.hpp"
#include "app/system/AutostartEntry.hpp"
#include "app/system/SystemdUserUnit.hpp"
#include "app/ui/ApplicationIcon.hpp"
#include "tests/app-support/FakeSystemdUserManager.hpp"
#include "tests/app-support/InstalledTree.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/app-support/SystemChecks.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/support/AgentProcess.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <QImage>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using Outcome = app::Result<void, app::PlatformError>;

Outcome ranToEnd(test::VirtualScheduler& scheduler, QCoro::Task<Outcome> task) {
    const test::Started<Outcome> started(std::move(task));
    scheduler.runPosted();
    return started.done() ? started.result() : Outcome{app::PlatformError{"still running"}};
}

// Each of `files` passes `check` without an error or a hint; the test skips when `checker` is missing.
void expectPassed(std::optional<test::CheckerReport> (*check)(const std::filesystem::path&),
                  const std::string& checker, const std::vector<std::filesystem::path>& files) {
    for (const std::filesystem::path& file : files) {
        const auto report = check(file);
        if (!report) {
            GTEST_SKIP() << checker << " is not installed";
        }
        EXPECT_EQ(report->errors, "") << file;
        EXPECT_EQ(report->status, 0) << file;
    }
}

// The build tree's unit, the installed one and the copy the application writes when it registers from a
// build tree: systemd reads every key where it stands. It names what it ignores on standard error and
// still exits 0, so the errors must be empty.
TEST(SystemReadsOurFiles, EveryUnitAsWritten) {
    const test::TemporaryDirectory home;
    test::VirtualScheduler scheduler;
    app::SystemdUserUnit unit(std::make_shared<test::FakeSystemdUserManager>(scheduler), scheduler,
                              home / "config", test::builtAgent(), 3s, {home / "etc", home / "usr"});
    ASSERT_EQ(ranToEnd(scheduler, unit.registerService()), Outcome{});

    expectPassed(test::verifyUnit, "systemd-analyze",
                 {test::inBuildTree("agent/kestrava-agent.service"),
                  test::InstalledTree::once().unitFolder / "kestrava-agent.service",
                  home / "config/systemd/user/kestrava-agent.service"});
}

// The installed desktop entry and the autostart entry the application writes pass the desktop's checker
// without a hint.
TEST(SystemReadsOurFiles, EveryDesktopEntry) {
    test::ensureQtApplication();
    const test::TemporaryDirectory home;
    app::AutostartEntry autostart(home / "config", test::InstalledTree::once().application);
    const test::Started<Outcome> registered(autostart.registerService());
    ASSERT_TRUE(registered.done());
    ASSERT_EQ(registered.result(), Outcome{});

    expectPassed(test::validateDesktopEntry, "desktop-file-validate",
                 {test::InstalledTree::once().desktopEntry, home / "config/autostart/kestrava.desktop"});
}

// Installed, each program finds its Info.json and names the other from its own folder, and the theme's
// icon at each size is the one the application paints at that size.
TEST(SystemReadsOurFiles, TheInstalledTreeHoldsTogether) {
    test::ensureQtApplication();
    const test::InstalledTree& tree = test::InstalledTree::once();
    const auto appInfo = bundleInfoOf(tree.application);
    ASSERT_TRUE(appInfo);
    EXPECT_EQ(app::agentExecutable(appInfo, tree.application.parent_path()), tree.agent);
    EXPECT_EQ(programNamedBy(bundleInfoOf(tree.agent), "KVAppExecutable", tree.agent.parent_path()),
              tree.application);
    for (const int side : app::ui::iconSides) {
        const std::string size = std::to_string(side) + "x" + std::to_string(side);
        const QImage installed(
            QString::fromStdString((tree.iconTheme / size / "apps/kestrava.png").string()));
        EXPECT_EQ(installed.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  app::ui::applicationIcon()
                      .pixmap(QSize(side, side), 1.0)
                      .toImage()
                      .convertToFormat(QImage::Format_ARGB32_Premultiplied))
            << size;
    }
}

} // namespace
} // namespace kestrava
