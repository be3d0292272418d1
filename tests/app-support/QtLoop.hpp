#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

class QScreen;
class QWidget;

namespace kestrava::test {

// The program's QApplication, made on first use as the application makes its own (with the built-in
// catalogue of texts), on the offscreen platform unless QT_QPA_PLATFORM names another. The offscreen
// platform then has four screens side by side: "primary", 800 by 800 like its default one, where windows
// open; "netbook", 1024 by 600; "desktop", 1920 by 1080; and "hidpi", 2560 by 1600 of its own pixels that
// Qt scales by 2.
void ensureQtApplication();

// Why the offscreen platform's three screens are not there (the caller chose the platform through
// QT_QPA_PLATFORM), for a test that needs them to skip; nothing when they are.
std::optional<std::string> whyTheThreeScreensAreMissing();

// The screen of that name, having put `window` on it at its top left; null when there is none.
QScreen* placeOnScreen(QWidget& window, const char* name);

// Runs the Qt event loop of this thread (making the program's QApplication on first use), and
// `alsoRun` with it, until `done` holds; false after `limit`.
bool runQtUntil(const std::function<bool()>& done, const std::function<void()>& alsoRun = {},
                std::chrono::milliseconds limit = std::chrono::seconds(20));

} // namespace kestrava::test
