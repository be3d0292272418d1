#pragma once

class QWidget;

namespace kestrava::app {

// Makes `window` close when the user turns from it to another window or application, as a popup closes
// on a click elsewhere: only once it has been active, and not while the question or menu it opened has
// the focus (a modal window, a popup, or a window whose parent it is).
void closeOnFocusLoss(QWidget& window);

} // namespace kestrava::app
