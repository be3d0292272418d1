#include "tests/app-support/QtLoop.hpp"

#include <QCoreApplication>
#include <thread>

namespace kestrava::test {
void ensureQtApplication() {
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "app-tests";
        static char* argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
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
