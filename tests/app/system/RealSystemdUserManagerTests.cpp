#include "app/async/QtScheduler.hpp"
#include "app/system/BusSystemdUserManager.hpp"
#include "app/system/SystemdUserUnit.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace kestrava {
namespace {

using app::ServiceStatus;
using Outcome = app::Result<void, app::PlatformError>;

// The folder the user's manager reads units from; the tests' own home is not where it looks.
std::filesystem::path managerConfigHome() {
    if (const char* folder = std::getenv("XDG_CONFIG_HOME"); folder && folder[0] == '/') {
        return folder;
    }
    const passwd* user = ::getpwuid(::geteuid());
    return std::filesystem::path(user ? user->pw_dir : "/") / ".config";
}

bool unitActive() {
    return std::system("systemctl --user --quiet is-active kestrava-agent.service") == 0;
}

// Long enough for three calls that each run to their limit.
template<class T>
T awaited(QCoro::Task<T> task) {
    const test::Started<T> started(std::move(task));
    EXPECT_TRUE(test::runQtUntil([&] { return started.done(); }, {}, std::chrono::seconds(40)));
    return started.result();
}

// Where the user has a service manager, the unit registers, runs and goes again. That happens in the
// user's own unit folder, so a kestrava-agent.service already there or running is left alone, and the
// file the test wrote is removed. The agent is a stand-in that only waits.
TEST(SystemdUserUnitWithTheUserManager, RegistersRunsAndUnregisters) {
    test::ensureQtApplication();
    const QString busName = QStringLiteral("systemd-user-manager");
    const auto session = QDBusConnection::connectToBus(QDBusConnection::SessionBus, busName);
    const bool managerHere =
        session.isConnected() && session.interface()->isServiceRegistered("org.freedesktop.systemd1");
    const std::filesystem::path configHome = managerConfigHome();
    const std::filesystem::path unitFile = configHome / "systemd/user/kestrava-agent.service";
    const bool theUsersOwn =
        managerHere && (std::filesystem::exists(std::filesystem::symlink_status(unitFile)) || unitActive());
    if (!managerHere || theUsersOwn) {
        QDBusConnection::disconnectFromBus(busName);
        GTEST_SKIP() << (managerHere ? "the user's own kestrava-agent.service is in place"
                                     : "no user service manager here");
    }

    const test::TemporaryDirectory folder;
    test::writeText(folder / "kestrava-agent", "#!/bin/sh\nexec sleep 600\n");
    std::filesystem::permissions(folder / "kestrava-agent", std::filesystem::perms::owner_all);
    app::QtScheduler scheduler;
    const auto manager = std::make_shared<app::BusSystemdUserManager>(session);
    app::SystemdUserUnit unit(manager, scheduler, configHome, folder / "kestrava-agent",
                              std::chrono::seconds(10), {folder / "etc", folder / "usr"});

    EXPECT_EQ(awaited(unit.registerService()), Outcome{});
    EXPECT_EQ(unit.status(), ServiceStatus::enabled);
    EXPECT_TRUE(test::runQtUntil(unitActive, {}, std::chrono::seconds(10)));
    EXPECT_EQ(awaited(unit.unregisterService()), Outcome{});
    EXPECT_EQ(unit.status(), ServiceStatus::notRegistered);
    EXPECT_FALSE(unitActive());

    std::filesystem::remove(unitFile);
    awaited(manager->reload());
    QDBusConnection::disconnectFromBus(busName);
}

} // namespace
} // namespace kestrava
