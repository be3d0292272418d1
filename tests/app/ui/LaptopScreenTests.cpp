// Every window of the application on the most common laptop screen, as the pictures for review draw them.
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Trayer.hpp"
#include "tests/app-support/XvfbDisplay.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

// Servers and clients start slowly on a busy machine; the pictures take a minute or so.
constexpr auto patience = 60s;
constexpr auto picturesTime = 250s;

class LaptopScreen : public testing::TestWithParam<int> {};

// On a screen of 1366 by 768 under a 32 px bar along its top, which the window manager leaves out of the
// free area, at the desktop's font of the test's size: the program that draws every window in each of its
// states (five phones, every alert, the panel at its tray among them) finds each window's frame within the
// free area and nothing cut off at a window's edge, a row too many being scrolled to instead.
TEST_P(LaptopScreen, EveryWindowFitsTheFreeAreaUnderATopBar) {
    if (const auto missing = test::XvfbDisplay::whyMissing(
            {QStringLiteral("openbox"), QStringLiteral("trayer"), QStringLiteral("xprop")})) {
        GTEST_SKIP() << *missing;
    }
    test::ensureQtApplication();
    const test::TemporaryDirectory home;
    const test::XvfbDisplay x(home.path(), {1366, 768});
    const auto windowManager = x.run(QStringLiteral("openbox"), {});
    const test::Trayer bar(x, 32);
    ASSERT_TRUE(test::runQtUntil([&] { return x.freeArea() == QRect(0, 32, 1366, 736); }, {}, patience))
        << windowManager->output();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    environment.insert(QStringLiteral("KESTRAVA_TEST_HARNESS"), QStringLiteral("1"));
    environment.insert(QStringLiteral("DISPLAY"), x.name());
    environment.insert(QStringLiteral("HOME"), QString::fromStdString(home.path().string()));
    // The program ends with the windows it drew still open, and the guide's pending waits with them: what
    // it holds at its end is no leak of the application's.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    QProcess screens;
    screens.setProcessEnvironment(environment);
    screens.start(QStringLiteral(KESTRAVA_SCREENS_PATH),
                  {QStringLiteral("--font-px"), QString::number(GetParam()),
                   QString::fromStdString((home / "pictures").string())});
    ASSERT_TRUE(screens.waitForFinished(std::chrono::milliseconds(picturesTime).count()));
    EXPECT_EQ(screens.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(screens.exitCode(), 0) << screens.readAllStandardError().toStdString();
}

INSTANTIATE_TEST_SUITE_P(FontPixels, LaptopScreen, testing::Values(12, 15, 18));

} // namespace
} // namespace kestrava
