#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

namespace kestrava::app::ui {

// The interface's symbols, our own simple shapes painted in `colour` on a transparent square of
// `logicalPx` (times `devicePixelRatio` in device pixels). Names describe the shapes ("timer",
// "iphone.slash", "checkmark.shield.fill", …); a ".fill" symbol is a solid shape, most with a white mark. An
// unknown name gives a transparent square, never a null pixmap. Interface thread.
QPixmap icon(const QString& name, const QColor& colour, int logicalPx, qreal devicePixelRatio = 1.0);

} // namespace kestrava::app::ui
