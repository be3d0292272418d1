#pragma once

#include "app/ui/Typography.hpp"

#include <QColor>
#include <QLabel>

namespace kestrava::app::ui {

// A label for text, never for markup (names and messages come from elsewhere): plain, wrapped, in `style`,
// and in `colour` when one is given.
QLabel* textLabel(const QString& text, TextStyle style, QWidget* parent, const QColor& colour = {});

// A label for one of the interface's own texts in which words between double asterisks are bold; every
// other character shows as written.
QLabel* emphasisLabel(const QString& text, TextStyle style, QWidget* parent, const QColor& colour = {});

} // namespace kestrava::app::ui
