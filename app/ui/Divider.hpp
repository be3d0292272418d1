#pragma once

class QFrame;
class QWidget;

namespace kestrava::app::ui {

// A thin horizontal line between the parts of a window or panel. Interface thread.
QFrame* divider(QWidget* parent);

} // namespace kestrava::app::ui
