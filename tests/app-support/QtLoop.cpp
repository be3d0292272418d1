#include "tests/app-support/QtLoop.hpp"

#include "app/runtime/Translations.hpp"
#include "tests/app-support/ApplicationFont.hpp"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <thread>

namespace kestrava::test {
namespace {

// The offscreen platform reads its screens from a file named in its arguments, once, as it starts. A
// screen's dots per inch twice the usual make Qt scale it by 2, as an X desktop at 200 % does.
constexpr char offscreenScreens[] = R"({"screens": [
    {"name": "primary", "x": 0, "y": 0, "width": 800, "height": 800},
    {"name": "netbook", "x": 800, "y": 0, "width": 1024, "height": 600},
    {"name": "desktop", "x": 1824, "y": 0, "width": 1920, "height": 1080},
    {"name": "hidpi", "x": 3744, "y": 0, "width": 2560, "height": 1600, "logicalDpi": 192}]})";

} // namespace

void ensureQtApplication() {
    if (!QCoreApplication::instance()) {
        // Widgets need a QApplication, and tests have no screen unless one is asked for.
        QTemporaryDir folder;
        const bool offscreen = !qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
        if (offscreen) {
            QFile screens(folder.filePath(QStringLiteral("screens.json")));
            if (!screens.open(QIODevice::WriteOnly) || screens.write(offscreenScreens) < 0) {
                qFatal("the offscreen screens cannot be written");
            }
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
        }
        static int argc = 1;
        static char name[] = "app-tests";
        static char* argv[] = {name, nullptr};
        // Never destroyed: a QApplication torn down among the program's exit handlers crashes in Qt.
        auto* application = new QApplication(argc, argv);
        if (offscreen) {
            // Read by now; programs the tests start get the plain platform.
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        // As the program does at its start: every test, whichever runs first, sees the texts a user sees.
        if (!app::installTranslations(*application)) {
            qFatal("the translated texts cannot be loaded");
        }
        failTestsThatLeaveTheLookChanged();
    }
}

bool runQtUntil(const std::function<bool()>& done, const std::function<void()>& alsoRun,
                std::chrono::milliseconds limit) {
    ensureQtApplication();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents();
        if (alsoRun) {
            alsoRun();
        }
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::optional<std::string> whyTheThreeScreensAreMissing() {
    ensureQtApplication();
    const auto screens = QGuiApplication::screens();
    for (const char* name : {"primary", "netbook", "desktop"}) {
        if (std::none_of(screens.begin(), screens.end(),
                         [&](const QScreen* screen) { return screen->name() == QLatin1String(name); })) {
            return std::string("no screen \"") + name +
                   "\": QT_QPA_PLATFORM=" + qgetenv("QT_QPA_PLATFORM").toStdString() +
                   " was set before the tests started";
        }
    }
    return std::nullopt;
}

QScreen* placeOnScreen(QWidget& window, const char* name) {
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen->name() == QLatin1String(name)) {
            window.setScreen(screen);
            window.move(screen->availableGeometry().topLeft());
            return screen;
        }
    }
    return nullptr;
}

} // namespace kestrava::test
