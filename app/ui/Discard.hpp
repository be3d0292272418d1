#pragma once

class QWidget;

namespace kestrava::app::ui {

// Takes `widget` out of its parent and layout now and deletes it once the event being handled is over (a
// view that redraws from a change its own button caused may be inside that button's click), or with the
// window it was in if that goes first. Interface thread.
void discardLater(QWidget* widget);

} // namespace kestrava::app::ui
