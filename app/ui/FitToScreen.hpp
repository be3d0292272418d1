#pragma once

#include <functional>
#include <optional>

class QScrollArea;
class QWidget;

namespace kestrava::app::ui {

// Keeping a window within the free area of its screen while what gives it room changes. Interface thread.

// A scroll area without a frame of its own that scrolls `content` up and down, the content as wide as the
// area; null content for one set later.
QScrollArea* verticalScrollArea(QWidget* content, QWidget* parent);

// Calls `fit` now and again whenever the room `view`'s window has on its screen may have changed: as the
// window is shown, when it goes to another screen, when the desktop's panels take more or less of that
// screen, and when the window manager has drawn the window's frame, which it tells only once the window is
// shown. It stops with `view`.
void keepFitting(QWidget& view, std::function<void()> fit);

// Keeps the size of `window`, whose one content is `scroll`, at the scroll area's widget whole: at `width`,
// else at the width the widget prefers, and as high as its rows are at that width. Where the screen leaves
// less height, the window is as high as the room and wider by the scroll bar, so that the content scrolls at
// its full width. Fitted again as the content's layout changes too.
void keepScrollingToFit(QWidget& window, QScrollArea& scroll, std::optional<int> width = std::nullopt);

} // namespace kestrava::app::ui
