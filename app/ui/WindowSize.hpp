#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QLayout;
class QWidget;

namespace kestrava::app::ui {

// How large a window and the frames in it are: grown with the desktop's font as their text is, and no
// larger than the window's screen leaves room for. Interface thread, after the application object exists.

// A frame's length given as if the body text were 13 px, at the application font. Never less than given:
// its margins and its pictures do not shrink with smaller text.
int grownWithFont(int length);
QSize grownWithFont(QSize size);

// The size a window that wants `wanted` takes where its screen leaves `available` to windows and the
// window manager puts `frame` around it: as wanted, or smaller in what does not fit.
QSize fittedSize(QSize wanted, const QRect& available, const QMargins& frame);

// The frame the window manager draws around `window`, once it has drawn one; before that, room for a title
// bar; none around a popup or a frameless window.
QMargins frameAround(QWidget& window);

// The height of `rows` at `width`, their texts wrapped to it: a layout's plain size hint asks each text for
// its own preferred width and comes out short.
int heightAtWidth(const QLayout& rows, int width);

// The room `window` has on the screen it is on: that screen's free area less the frame around the window.
QSize roomOnScreen(QWidget& window);

// Fixes `window`'s size at `wanted`, or smaller where the screen it is on leaves less room; a window
// fitted smaller must let its content scroll.
void fixSizeOnScreen(QWidget& window, QSize wanted);

} // namespace kestrava::app::ui
