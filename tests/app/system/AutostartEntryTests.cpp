#include "app/system/AutostartEntry.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

using app::ServiceStatus;
using Outcome = app::Result<void, app::PlatformError>;

// The entry's work is on files alone and ends at once.
Outcome finished(QCoro::Task<Outcome> task) {
    const test::Started<Outcome> started(std::move(task));
    return started.done() ? started.result() : Outcome{app::PlatformError{"still running"}};
}

// Registering writes a minimal desktop entry for this program, over a hidden one too; only "Hidden=true"
// in the main group turns an entry off; unregistering removes it, and again finds nothing to do.
TEST(AutostartEntry, RegisterHideAndUnregister) {
    const test::TemporaryDirectory configHome;
    const std::filesystem::path file = configHome / "autostart" / "kestrava.desktop";
    const app::AutostartEntry unknown(configHome.path(), std::nullopt);
    EXPECT_EQ(unknown.status(), ServiceStatus::notFound);
    app::AutostartEntry entry(configHome.path(), "/opt/kestrava/kestrava");
    EXPECT_EQ(entry.status(), ServiceStatus::notRegistered);

    const std::vector<std::pair<std::string, ServiceStatus>> table{
        {"[Desktop Entry]\nHidden=false\n", ServiceStatus::enabled},
        {"[Desktop Entry]\nX-Hidden=true\n", ServiceStatus::enabled},
        {"[Desktop Entry]\nExec=kestrava\n[Desktop Action quit]\nHidden=true\n", ServiceStatus::enabled},
        {"[Desktop Entry]\r\nHidden = true\r\n", ServiceStatus::notRegistered},
        {"[Desktop Entry]\nType=Application\nHidden=true\n", ServiceStatus::notRegistered},
    };
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(finished(entry.registerService()), Outcome{});
        EXPECT_EQ(test::fileText(file), "[Desktop Entry]\nType=Application\nName=Kestrava\n"
                                        "Exec=/opt/kestrava/kestrava\nX-GNOME-Autostart-enabled=true\n");
        EXPECT_EQ(entry.status(), ServiceStatus::enabled);
        for (const auto& [text, expected] : table) {
            test::writeText(file, text);
            EXPECT_EQ(entry.status(), expected) << text;
        }
    }
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(finished(entry.unregisterService()), Outcome{});
        EXPECT_FALSE(std::filesystem::exists(file));
        EXPECT_EQ(entry.status(), ServiceStatus::notRegistered);
    }
}

// A program whose path holds characters the format reserves is quoted and escaped as the format asks,
// so that it is started as written and "%" is not taken for a field code.
TEST(AutostartEntry, TheProgramIsQuotedWhereItMustBe) {
    const std::vector<std::pair<std::string, std::string>> table{
        {"/opt/kestrava/kestrava", "Exec=/opt/kestrava/kestrava\n"},
        {"/opt/100%/kestrava", "Exec=/opt/100%%/kestrava\n"},
        {"/home/lan/My Apps/kestrava", "Exec=\"/home/lan/My Apps/kestrava\"\n"},
        {"/home/lan/$x \"q\" \\b/kestrava", "Exec=\"/home/lan/\\\\$x \\\\\"q\\\\\" \\\\\\\\b/kestrava\"\n"},
    };
    for (const auto& [program, line] : table) {
        const test::TemporaryDirectory configHome;
        app::AutostartEntry entry(configHome.path(), program);
        EXPECT_EQ(finished(entry.registerService()), Outcome{});
        EXPECT_NE(test::fileText(configHome / "autostart" / "kestrava.desktop").find(line), std::string::npos)
            << program;
    }
}

} // namespace
} // namespace kestrava
