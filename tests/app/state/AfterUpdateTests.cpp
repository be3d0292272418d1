#include "app/runtime/UiText.hpp"
#include "app/state/AfterUpdate.hpp"
#include "tests/app-support/FakeServiceBackend.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/support/TemporaryDirectory.hpp"

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

} // namespace
} // namespace kestrava
