#pragma once

class QWidget;

namespace kestrava::app {

// Makes `window` close when the window manager names another window active on the root window. Under
// Xwayland a click on the compositor's own windows reaches no X client, and the X focus stays where it
// was; only the name of the active window tells that the user turned to another one. A notice naming the
// same window again, or a window of the application's own, is no such turn. Nothing where Qt shows no
// windows on X.
void closeOnActiveWindowChange(QWidget& window);

} // namespace kestrava::app
