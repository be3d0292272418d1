#pragma once

class QWidget;

namespace kestrava::app {

// Asks the window manager to make `window` active, once it shows it, and give it the keys, as a pager asks
// for the window the user chose: the user has just asked for it at the tray, so no other window's focus is
// taken against the user's will, and a request as from the application itself may be refused when it has not
// seen the click. Nothing where Qt shows no windows on X.
void activateFromTheTray(QWidget& window);

} // namespace kestrava::app
