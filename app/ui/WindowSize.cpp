#include "app/ui/WindowSize.hpp"

#include "app/ui/Typography.hpp"

#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace kestrava::app::ui {

QMargins frameAround(QWidget& window) {
    if (window.windowType() == Qt::Popup || window.windowFlags().testFlag(Qt::FramelessWindowHint)) {
        return {};
    }
    if (const QWindow* handle = window.windowHandle()) {
        const QMargins drawn = handle->frameMargins();
        if (!drawn.isNull()) {
            return drawn;
        }
    }
    return {0, window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window), 0, 0};
}

int grownWithFont(int length) {
    return std::max(length, scaled(length));
}

QSize grownWithFont(QSize size) {
    return {grownWithFont(size.width()), grownWithFont(size.height())};
}

QSize fittedSize(QSize wanted, const QRect& available, const QMargins& frame) {
    const QSize room = available.size().shrunkBy(frame);
    return {std::min(wanted.width(), room.width()), std::min(wanted.height(), room.height())};
}

void fixSizeOnScreen(QWidget& window, QSize wanted) {
    window.setFixedSize(fittedSize(wanted, window.screen()->availableGeometry(), frameAround(window)));
}

} // namespace kestrava::app::ui
