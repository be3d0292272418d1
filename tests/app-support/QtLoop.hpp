#pragma once

#include <chrono>
#include <functional>

namespace kestrava::test {

// The program's QCoreApplication, made on first use.
void ensureQtApplication();

// Runs the Qt event loop of this thread (making the program's QCoreApplication on first use), and
// `alsoRun` with it, until `done` holds; false after `limit`.
bool runQtUntil(const std::function<bool()>& done, const std::function<void()>& alsoRun = {},
                std::chrono::milliseconds limit = std::chrono::seconds(20));

} // namespace kestrava::test
