#pragma once

#include <QColor>
#include <QPushButton>

namespace kestrava::app::ui {

// Looks for push buttons, set through the button's style sheet (which they replace); both may be applied,
// in either order. Interface thread.

// The window's main action: white text on the accent colour (or `tint`), rounded, greyed out while disabled.
void makeProminent(QPushButton* button, const QColor& tint = {});
// A taller button with larger text, for the one action of a sparse window.
void makeLarge(QPushButton* button);

// The application's style sheet for every push button: the same room around every label, where the
// desktop's style would leave a long one a few pixels from the edge.
QString buttonStyleSheet();
// The application's style sheet for every check box: its box grows with the application font, as the text
// beside it does.
QString checkBoxStyleSheet();

} // namespace kestrava::app::ui
