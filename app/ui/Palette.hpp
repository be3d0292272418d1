#pragma once

#include <QColor>
#include <QString>

namespace kestrava::app::ui {

// The interface's colours. The first three follow the application palette (light or dark); the named
// ones are fixed sRGB values, the same on every desktop. Interface thread.

QColor accent();
// Text that is less important than its neighbours.
QColor secondary();
// Text and marks less important still.
QColor tertiary();

QColor green();
QColor yellow();
QColor orange();
QColor red();
QColor gray();

// "rgba(r,g,b,a)" for a style sheet, with the alpha as a fraction of 1.
QString css(const QColor& colour);

} // namespace kestrava::app::ui
