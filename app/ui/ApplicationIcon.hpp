#pragma once

#include <QIcon>

namespace kestrava::app::ui {

// The application's own icon: a green shield with a check mark, painted at the usual sizes. Interface
// thread.
QIcon applicationIcon();

} // namespace kestrava::app::ui
