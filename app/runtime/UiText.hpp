#pragma once

#include <QCoreApplication>
#include <QString>

namespace kestrava::app {

// A text the user sees: written in Vietnamese, which is also its key in the translation catalogue, so
// the catalogue replaces only texts that name things of another platform.
inline QString uiText(const char* vietnamese) {
    return QCoreApplication::translate("Kestrava", vietnamese);
}

// The same text where one place shows it otherwise: `where` names that place to the catalogue.
inline QString uiText(const char* vietnamese, const char* where) {
    return QCoreApplication::translate("Kestrava", vietnamese, where);
}

} // namespace kestrava::app
