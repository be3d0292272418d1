#pragma once

#include <QCoreApplication>

namespace kestrava::app {

// The texts the user sees are written in the code in Vietnamese and are their own keys; the catalogue
// built into the program replaces those that would name things of another platform. False when it could
// not be loaded (the texts then show as written).
bool installTranslations(QCoreApplication& application);

} // namespace kestrava::app
