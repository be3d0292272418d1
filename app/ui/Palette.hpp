#pragma once

#include <QColor>
#include <QString>

namespace kestrava::app::ui {

// The interface's colours. The first three and the text colours follow the application palette (light or
// dark); the named ones are fixed sRGB values, the same on every desktop. Text in secondary(), warningText()
// and errorText() stands out from the window's background at least 4.5 to 1, and white on destructive()
// does too. Interface thread.

QColor accent();
// Text that is less important than its neighbours.
QColor secondary();
// Lines, tracks and faded backgrounds; too faint for text.
QColor tertiary();

// Warnings and errors as text: orange and red, darker on a light window and lighter on a dark one.
QColor warningText();
QColor errorText();
// The background of a button that destroys or repairs, under its white label.
QColor destructive();

// Marks and shapes: too light for text on a light window.
QColor green();
QColor yellow();
QColor orange();
QColor red();
QColor gray();

// "rgba(r,g,b,a)" for a style sheet, with the alpha as a fraction of 1.
QString css(const QColor& colour);

} // namespace kestrava::app::ui
