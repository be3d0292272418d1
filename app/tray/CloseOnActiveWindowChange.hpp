#pragma once

class QWidget;

namespace kestrava::app {

// Makes `popup` close when the window manager names another window active on the root window. Under
// Xwayland a popup's grab sees no click on the compositor's own windows, and the X focus stays where it
// was; only the name of the active window tells that the user turned to another one. A notice naming the
// same window again, or the popup itself, is no such turn. Nothing where Qt shows no windows on X.
void closeOnActiveWindowChange(QWidget& popup);

} // namespace kestrava::app
