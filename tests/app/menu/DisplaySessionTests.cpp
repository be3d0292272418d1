// The application program as the build made it, on the displays users have: X without Wayland, Wayland
// without X, and neither.
#include "app/runtime/DisplaySession.hpp"
#include "tests/app-support/InstalledTree.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/XvfbDisplay.hpp"
#include "tests/support/AgentProcess.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QLibraryInfo>
#include <QMargins>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QRegularExpression>
#include <QStandardPaths>
#include <csignal>
#include <cstdlib>
#include <fstream>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

// Servers and clients start slowly on a busy machine.
constexpr auto patience = 60s;

// The application in `home` as a user starts it, with nothing of the tests' platform or session bus, on
// the displays `display` and `wayland` name (empty: none).
std::unique_ptr<test::AgentProcess> startApplication(const test::TemporaryDirectory& home,
                                                     const std::string& display, const std::string& wayland) {
    test::AgentProcessOptions options;
    options.program = KESTRAVA_APP_PATH;
    options.environment = {{"KESTRAVA_TEST_HARNESS", "1"},   {"QT_QPA_PLATFORM", ""},
                           {"DBUS_SESSION_BUS_ADDRESS", ""}, {"DISPLAY", display},
                           {"WAYLAND_DISPLAY", wayland},     {"XDG_CONFIG_HOME", (home / "config").string()}};
    return std::make_unique<test::AgentProcess>(home.path(), std::vector<std::string>{}, options);
}

// A display server of the test's own, its runtime folder that of `home`.
std::unique_ptr<test::AgentProcess> startServer(const test::TemporaryDirectory& home, const QString& program,
                                                const std::vector<std::string>& arguments) {
    test::AgentProcessOptions options;
    options.program = program.toStdString();
    return std::make_unique<test::AgentProcess>(home.path(), arguments, options);
}

// What `program` printed on standard output, run with these variables over the test's own; empty when it
// could not run.
QString outputOf(const QString& program, const QStringList& arguments,
                 const std::vector<std::pair<QString, QString>>& variables) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : variables) {
        environment.insert(name, value);
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(std::chrono::milliseconds(patience).count());
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The panel's line in `xwininfo -root -tree`, a window without a tray, by its title, its id the first
// capture; Qt's hidden leader window of the same title has no class.
const QRegularExpression& panelLine() {
    static const QRegularExpression line(QStringLiteral("^\\s*(0x[0-9a-f]+) \"Kestrava\": \\(\""),
                                         QRegularExpression::MultilineOption);
    return line;
}

// The value of `key` in the installed desktop entry; empty when it has none.
std::string installedEntryValue(const std::string& key) {
    std::ifstream entry(test::InstalledTree::once().desktopEntry);
    for (std::string line; std::getline(entry, line);) {
        if (line.starts_with(key + "=")) {
            return line.substr(key.size() + 1);
        }
    }
    return {};
}

// Where neither an X server nor a Wayland compositor is named, the application says so and ends with a
// failure of its own, before Qt aborts for want of a display.
TEST(DisplaySession, WithNoDisplayTheApplicationSaysSoAndEnds) {
    const test::TemporaryDirectory home;
    const auto application = startApplication(home, "", "");
    EXPECT_EQ(application->waitForExit(patience), 1) << application->output();
    EXPECT_NE(application->output().find("kestrava: no display to show windows on: DISPLAY is not set and "
                                         "WAYLAND_DISPLAY is not set\n"),
              std::string::npos)
        << application->output();
}

// On a Wayland compositor with no X server the application runs on Wayland and shows the first-run guide
// and, without a tray, its panel as a window, both under the installed desktop entry's name as app id.
TEST(DisplaySession, OnWaylandWithoutXTheGuideAndThePanelShow) {
    test::ensureQtApplication();
    const QString weston = QStandardPaths::findExecutable("weston");
    const QString debug = QStandardPaths::findExecutable("weston-debug");
    if (weston.isEmpty() || debug.isEmpty()) {
        GTEST_SKIP() << "weston is not installed";
    }
    if (!QDir(QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms")
             .exists("libqwayland-generic.so")) {
        GTEST_SKIP() << "Qt's Wayland platform plugin is not installed";
    }
    const test::TemporaryDirectory home;
    const std::string socket = "kestrava-test";
    // The debugging protocol shows the compositor's scene to weston-debug.
    const auto compositor = startServer(
        home, weston,
        {"--backend=headless-backend.so", "--socket=" + socket, "--use-pixman", "--debug", "--idle-time=0"});
    {
        const test::EnvironmentOverride runtime("XDG_RUNTIME_DIR", (home / "run").string());
        const test::EnvironmentOverride wayland("WAYLAND_DISPLAY", socket);
        const test::EnvironmentOverride display("DISPLAY", std::nullopt);
        const test::EnvironmentOverride platform("QT_QPA_PLATFORM", std::nullopt);
        ASSERT_TRUE(
            test::runQtUntil([] { return app::currentDisplaySession().waylandAnswers; }, {}, patience))
            << compositor->output();
    }
    const auto application = startApplication(home, "", socket);
    EXPECT_TRUE(application->waitForOutput("kestrava: shows its windows on wayland\n", patience))
        << application->output();

    // Each top-level window of the scene as "'title' of app id".
    const std::string appId = test::InstalledTree::once().desktopEntry.stem().string();
    const QString panel = QString::fromStdString("'Kestrava' of " + appId);
    const QString guide = QString::fromStdString("'Hướng dẫn Kestrava' of " + appId);
    QString scene;
    EXPECT_TRUE(test::runQtUntil(
        [&] {
            scene = outputOf(debug, {"scene-graph"},
                             {{"XDG_RUNTIME_DIR", QString::fromStdString((home / "run").string())},
                              {"WAYLAND_DISPLAY", QString::fromStdString(socket)}});
            return scene.contains(panel) && scene.contains(guide);
        },
        {}, patience))
        << scene.toStdString() << application->output();

    application->signal(SIGTERM);
    application->waitForExit(patience);
    compositor->signal(SIGTERM);
    compositor->waitForExit(patience);
}

// On an X server the entry's StartupWMClass is the class of the application's windows, so that the
// desktop shows them under the entry.
TEST(DisplaySession, TheEntryNamesTheClassOfTheWindowsOnX) {
    test::ensureQtApplication();
    const QString xprop = QStandardPaths::findExecutable("xprop");
    if (const auto missing = test::XvfbDisplay::whyMissing({QStringLiteral("xprop")})) {
        GTEST_SKIP() << *missing;
    }
    const test::TemporaryDirectory home;
    const test::XvfbDisplay x(home.path());
    const auto application = startApplication(home, x.name().toStdString(), "");
    EXPECT_TRUE(application->waitForOutput("kestrava: shows its windows on xcb\n", patience))
        << application->output();

    const QRegularExpression classLine(
        QStringLiteral("^WM_CLASS\\(STRING\\) = \"([^\"]*)\", \"([^\"]*)\"\n$"));
    QRegularExpressionMatch named;
    // Until the window is there and has its class.
    EXPECT_TRUE(test::runQtUntil(
        [&] {
            const auto found = panelLine().match(x.windowTree());
            named = classLine.match(found.hasMatch() ? outputOf(xprop, {"-id", found.captured(1), "WM_CLASS"},
                                                                {{"DISPLAY", x.name()}})
                                                     : QString());
            return named.hasMatch();
        },
        {}, patience))
        << application->output();
    EXPECT_EQ(installedEntryValue("StartupWMClass"), named.captured(2).toStdString());

    application->signal(SIGTERM);
    application->waitForExit(patience);
}

// Under a window manager, without a tray, the panel is a window whose frame, title bar included, is on the
// screen, at 100 % and at 150 %, also where the pointer it opens at is near the screen's top.
TEST(DisplaySession, ThePanelsWindowHasItsFrameOnTheScreen) {
    test::ensureQtApplication();
    const QString xprop = QStandardPaths::findExecutable("xprop");
    const QString xwininfo = QStandardPaths::findExecutable("xwininfo");
    if (const auto missing =
            test::XvfbDisplay::whyMissing({QStringLiteral("openbox"), QStringLiteral("xprop")})) {
        GTEST_SKIP() << *missing;
    }
    const QRect screen(0, 0, 1280, 800);
    for (const int dotsPerInch : {96, 144}) {
        SCOPED_TRACE(dotsPerInch);
        const test::TemporaryDirectory home;
        const test::XvfbDisplay x(home.path());
        const QString display = x.name();
        // The pointer near the screen's top left, where the panel's title bar could run off the screen.
        x.prepareDesktop(dotsPerInch, QPoint(10, 10));
        const auto manager = x.run(QStringLiteral("openbox"), {});
        ASSERT_TRUE(test::runQtUntil(
            [&] {
                return outputOf(xprop, {"-root", "_NET_SUPPORTING_WM_CHECK"}, {{"DISPLAY", display}})
                    .contains("window id");
            },
            {}, patience))
            << manager->output();
        const auto application = startApplication(home, display.toStdString(), "");

        // The window's place inside its frame, and the frame's extents the window manager gives.
        const QRegularExpression place(QStringLiteral("Absolute upper-left X:\\s+(-?\\d+)\\s+Absolute "
                                                      "upper-left Y:\\s+(-?\\d+).*Width:\\s+(\\d+)\\s+"
                                                      "Height:\\s+(\\d+)"),
                                       QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpression extents(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)"));
        QRect frame;
        EXPECT_TRUE(test::runQtUntil(
            [&] {
                const auto panel = panelLine().match(x.windowTree());
                if (!panel.hasMatch()) {
                    return false;
                }
                const QString id = panel.captured(1);
                const auto window = place.match(outputOf(xwininfo, {"-id", id}, {{"DISPLAY", display}}));
                const auto margins =
                    extents.match(outputOf(xprop, {"-id", id, "_NET_FRAME_EXTENTS"}, {{"DISPLAY", display}}));
                if (!window.hasMatch() || !margins.hasMatch()) {
                    return false;
                }
                frame = QRect(window.captured(1).toInt(), window.captured(2).toInt(),
                              window.captured(3).toInt(), window.captured(4).toInt())
                            .marginsAdded(QMargins(margins.captured(1).toInt(), margins.captured(3).toInt(),
                                                   margins.captured(2).toInt(), margins.captured(4).toInt()));
                return screen.contains(frame);
            },
            {}, patience))
            << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height() << "\n"
            << application->output();

        application->signal(SIGTERM);
        application->waitForExit(patience);
        manager->signal(SIGTERM);
        manager->waitForExit(patience);
    }
}

} // namespace
} // namespace kestrava
