#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace kestrava::app::ui {

// The size a window that wants `wanted` takes where its screen leaves `available` to windows and the
// window manager puts `frame` around it: as wanted, or smaller in what does not fit.
QSize fittedSize(QSize wanted, const QRect& available, const QMargins& frame);

// Fixes `window`'s size at `wanted`, or smaller where the screen it is on leaves less room; a window
// fitted smaller must let its content scroll. Interface thread.
void fixSizeOnScreen(QWidget& window, QSize wanted);

} // namespace kestrava::app::ui
