#include "app/ui/WindowSize.hpp"

#include "app/ui/Typography.hpp"

#include <QLayout>
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
    return wanted.boundedTo(available.size().shrunkBy(frame));
}

int heightAtWidth(const QLayout& rows, int width) {
    const int height = rows.totalHeightForWidth(width);
    return height >= 0 ? height : rows.totalSizeHint().height();
}

QSize roomOnScreen(QWidget& window) {
    return window.screen()->availableGeometry().size().shrunkBy(frameAround(window));
}

void fixSizeOnScreen(QWidget& window, QSize wanted) {
    window.setFixedSize(wanted.boundedTo(roomOnScreen(window)));
}

} // namespace kestrava::app::ui
