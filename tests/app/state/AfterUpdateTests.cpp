#include "agent-core/runtime/AgentEnvironment.hpp"
#include "app/runtime/UiText.hpp"
#include "app/state/AfterUpdate.hpp"
#include "app/system/AgentExecutable.hpp"
#include "app/system/SystemdUserUnit.hpp"
#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"
#include "tests/app-support/FakeServiceBackend.hpp"
#include "tests/app-support/FakeSystemdUserManager.hpp"
#include "tests/app-support/InstalledTree.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using app::ServiceStatus;

// The agent is restarted once per new version of the application; the version counts as settled unless
// a failed restart left the agent's service unregistered.
TEST(AfterUpdate, TheAgentIsRestartedOncePerNewVersion) {
    test::ensureQtApplication();
    struct Row {
        std::string what;
        std::optional<std::string> lastSeen;
        ServiceStatus service;
        bool restartFails;
        ServiceStatus afterFailedRestart;
        bool attempted;
        std::optional<std::string> settled;
    };
    const std::vector<Row> table{
        {"first start, agent not installed",
         std::nullopt,
         ServiceStatus::notRegistered,
         false,
         {},
         false,
         "7"},
        {"first start over a running agent", std::nullopt, ServiceStatus::enabled, false, {}, true, "7"},
        {"same version", "7", ServiceStatus::enabled, false, {}, false, "7"},
        {"new version", "6", ServiceStatus::enabled, false, {}, true, "7"},
        {"new version, restart fails, agent still enabled", "6", ServiceStatus::enabled, true,
         ServiceStatus::enabled, true, "7"},
        {"new version, restart fails, agent left unregistered", "6", ServiceStatus::enabled, true,
         ServiceStatus::notRegistered, true, "6"},
    };
    for (const auto& row : table) {
        test::TemporaryDirectory folder;
        test::VirtualScheduler scheduler;
        const auto defaults = std::make_shared<app::Defaults>(folder / "Kestrava.conf");
        if (row.lastSeen) {
            defaults->setText("lastSeenAppVersion", *row.lastSeen);
        }
        const auto service = std::make_shared<test::FakeServiceBackend>();
        service->current = row.service;
        if (row.restartFails) {
            service->registerFailures = {app::PlatformError{"first"}, app::PlatformError{"second"}};
            service->statusAfterUnregister = row.afterFailedRestart;
        }
        const auto manager = std::make_shared<app::ServiceManager>(
            service, std::make_shared<test::FakeServiceBackend>(),
            []() -> QCoro::Task<app::AgentResult<AgentStatus>> { co_return AgentStatus{}; }, scheduler);

        const test::Started outcome(app::restartAgentIfAppUpdated("7", defaults, manager));
        for (int i = 0; i < 100 && !outcome.done(); ++i) {
            scheduler.advance(100ms);
        }
        ASSERT_TRUE(outcome.done()) << row.what;
        EXPECT_EQ(outcome.result().attempted, row.attempted) << row.what;
        EXPECT_EQ(defaults->text("lastSeenAppVersion"), row.settled) << row.what;
        EXPECT_EQ(service->calls.empty(), !row.attempted) << row.what;
        if (row.restartFails) {
            EXPECT_EQ(outcome.result().failure, app::uiText("Không bật lại được agent — bấm “Bật agent”"))
                << row.what;
        } else {
            EXPECT_EQ(outcome.result().failure, std::nullopt) << row.what;
        }
    }
}

// What an upgrade of `tree` changes of what the programs read: the next build version in both Info.json
// files.
void upgrade(const test::InstalledTree& tree) {
    for (const auto& info : {tree.applicationInfo, tree.agent.parent_path() / "Info.json"}) {
        const json::Value read = json::parse(test::fileText(info));
        json::Object changed;
        for (const auto& member : read.asObject()->members()) {
            const std::string* text = member.value.asString();
            changed.add(member.key, member.key == "CFBundleVersion"
                                        ? json::Value(std::to_string(std::stoi(*text) + 1))
                                        : member.value);
        }
        test::writeText(info, json::write(changed, {}));
    }
}

// An upgrade of the installed package in place: the agent turned on from version N is restarted once by
// the first start of version N+1, which settles its version; the installed application never writes a
// unit of its own, the package's serves.
TEST(AfterUpdate, AnUpgradeRestartsTheInstalledAgentOnce) {
    test::ensureQtApplication();
    const test::TemporaryDirectory folder;
    const test::InstalledTree tree = test::InstalledTree::installInto(folder / "usr");
    const std::filesystem::path config = folder / "home" / "config";
    test::VirtualScheduler scheduler;
    const auto systemd = std::make_shared<test::FakeSystemdUserManager>(scheduler);
    systemd->wantsFolder = config / "systemd/user/default.target.wants";
    const auto defaults = std::make_shared<app::Defaults>(config / "kestrava/Kestrava.conf");

    // The service manager the application of `tree` makes at its start, over the agent it names.
    const auto startedFrom = [&](const test::InstalledTree& tree) {
        const auto info = bundleInfoOf(tree.application);
        const auto unit = std::make_shared<app::SystemdUserUnit>(
            systemd, scheduler, config, app::agentExecutable(info, tree.application.parent_path()), 3s,
            app::SystemUnitFolders{folder / "etc", tree.unitFolder});
        return std::pair(app::currentAppVersion(info),
                         std::make_shared<app::ServiceManager>(
                             unit, std::make_shared<test::FakeServiceBackend>(),
                             []() -> QCoro::Task<app::AgentResult<AgentStatus>> { co_return AgentStatus{}; },
                             scheduler));
    };
    // Its check after an update: whether it restarted the agent, and what it asked the service manager.
    const auto checkAfterStart = [&](const test::InstalledTree& tree) {
        const auto [version, manager] = startedFrom(tree);
        systemd->calls.clear();
        const test::Started outcome(app::restartAgentIfAppUpdated(version, defaults, manager));
        for (int i = 0; i < 100 && !outcome.done(); ++i) {
            scheduler.advance(100ms);
        }
        EXPECT_TRUE(outcome.done());
        return std::pair(outcome.done() && outcome.result().attempted, systemd->calls);
    };
    using Calls = test::FakeSystemdUserManager::Calls;
    Calls restart = test::FakeSystemdUserManager::unregistering;
    restart.insert(restart.end(), test::FakeSystemdUserManager::registering.begin(),
                   test::FakeSystemdUserManager::registering.end());

    const std::string olderVersion = app::currentAppVersion(bundleInfoOf(tree.application));
    EXPECT_EQ(checkAfterStart(tree), std::pair(false, Calls{})) << "first start, agent off";
    EXPECT_EQ(defaults->text("lastSeenAppVersion"), olderVersion);
    const auto [version, manager] = startedFrom(tree);
    const test::Started turnedOn(manager->registerAgent());
    scheduler.runPosted();
    ASSERT_TRUE(turnedOn.done());
    EXPECT_EQ(turnedOn.result(), (app::Result<void, app::PlatformError>{}));
    EXPECT_EQ(manager->agent().status(), app::ServiceStatus::enabled);
    EXPECT_EQ(checkAfterStart(tree), std::pair(false, Calls{})) << "same version again";

    upgrade(tree);
    const std::string newerVersion = app::currentAppVersion(bundleInfoOf(tree.application));
    ASSERT_NE(olderVersion, newerVersion);
    EXPECT_EQ(checkAfterStart(tree), std::pair(true, restart)) << "first start after the upgrade";
    EXPECT_EQ(defaults->text("lastSeenAppVersion"), newerVersion);
    EXPECT_EQ(checkAfterStart(tree), std::pair(false, Calls{})) << "second start after the upgrade";
    EXPECT_EQ(manager->agent().status(), app::ServiceStatus::enabled);
    EXPECT_FALSE(std::filesystem::exists(config / "systemd/user/kestrava-agent.service"));
}

} // namespace
} // namespace kestrava
