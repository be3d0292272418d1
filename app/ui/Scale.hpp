#pragma once

#include <QFont>
#include <QSize>

namespace kestrava::app::ui {

// The interface is laid out as if the body text were this many pixels high; a larger desktop font
// enlarges text and the frames around it alike. Interface thread, after the application object exists.
constexpr double referenceBodyPx = 13.0;

// The pixel size `font` measures on screen, also where it is given in points.
int pixelSize(const QFont& font);
// How many times larger than the reference body text the application font is.
double fontScale();
// A length given at the reference body text, in pixels at the application font. Never less than given:
// margins and controls that do not scale keep their room when the text is smaller.
int scaled(int length);
QSize scaled(QSize size);

} // namespace kestrava::app::ui
