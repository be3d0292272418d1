#pragma once

#include <QIcon>
#include <array>

namespace kestrava::app::ui {

// The sides, in pixels, at which the icons are painted: the desktop's usual icon sizes, 22 for a panel's
// tray slot among them, so that no size is a scaled copy of another.
inline constexpr std::array<int, 8> iconSides{16, 22, 24, 32, 48, 64, 128, 256};

// The application's own icon: a green shield with a check mark, painted at each of `iconSides`. Interface
// thread.
QIcon applicationIcon();

} // namespace kestrava::app::ui
