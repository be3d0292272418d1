#include "tests/app-support/QtLoop.hpp"

#include "app/runtime/Translations.hpp"

#include <QApplication>
#include <thread>

namespace kestrava::test {
void ensureQtApplication() {
    if (!QCoreApplication::instance()) {
        // Widgets need a QApplication, and tests have no screen unless one is asked for.
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "app-tests";
        static char* argv[] = {name, nullptr};
        // Never destroyed: a QApplication torn down among the program's exit handlers crashes in Qt.
        auto* application = new QApplication(argc, argv);
        // As the program does at its start: every test, whichever runs first, sees the texts a user sees.
        if (!app::installTranslations(*application)) {
            qFatal("the translated texts cannot be loaded");
        }
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

} // namespace kestrava::test
