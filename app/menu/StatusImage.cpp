#include "app/menu/StatusImage.hpp"

#include "app/runtime/UiText.hpp"
#include "app/ui/ApplicationIcon.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/Symbols.hpp"

namespace kestrava::app {
QString statusSymbol(StatusIconState state) {
    switch (state) {
    case StatusIconState::green:
        return QStringLiteral("checkmark.shield.fill");
    case StatusIconState::yellow:
        return QStringLiteral("shield.lefthalf.filled");
    case StatusIconState::red:
        return QStringLiteral("exclamationmark.shield.fill");
    case StatusIconState::paused:
        return QStringLiteral("shield.slash.fill");
    }
    return {};
}

QColor statusColour(StatusIconState state) {
    switch (state) {
    case StatusIconState::green:
        return ui::green();
    case StatusIconState::yellow:
        return ui::yellow();
    case StatusIconState::red:
        return ui::red();
    case StatusIconState::paused:
        return ui::gray();
    }
    return {};
}

QString spokenText(StatusIconState state) {
    switch (state) {
    case StatusIconState::green:
        return uiText("Kestrava: đã kết nối");
    case StatusIconState::yellow:
        return uiText("Kestrava: đang kết nối lại");
    case StatusIconState::red:
        return uiText("Kestrava: có lỗi");
    case StatusIconState::paused:
        return uiText("Kestrava: đã tạm dừng");
    }
    return {};
}

QIcon statusImage(StatusIconState state) {
    QIcon image;
    for (const int side : ui::iconSides) {
        image.addPixmap(ui::icon(statusSymbol(state), statusColour(state), side));
    }
    return image;
}

} // namespace kestrava::app
