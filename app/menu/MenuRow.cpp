#include "app/menu/MenuRow.hpp"

#include "app/ui/Palette.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/Typography.hpp"

#include <QPainter>
#include <QPainterPath>

namespace kestrava::app {
namespace {

constexpr int outerMargin = 6;
constexpr int innerMargin = 8;
constexpr int verticalMargin = 4;
constexpr int spacing = 8;
// The symbol and the column it is centred in, as at the 13 px body text: both grow with the text.
constexpr int symbolLogicalSide = 16;
constexpr int symbolColumn = 18;

} // namespace

MenuRow::MenuRow(const QString& title, const QString& subtitle, const QString& symbol, QWidget* parent)
    : QAbstractButton(parent), subtitle_(subtitle), symbol_(symbol) {
    setText(title);
    setAccessibleName(title);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

QSize MenuRow::sizeHint() const {
    const QFontMetrics title(ui::font(ui::TextStyle::body));
    const QFontMetrics caption(ui::font(ui::TextStyle::caption));
    const int textHeight = title.height() + (subtitle_.isEmpty() ? 0 : caption.height());
    const int symbolWidth = ui::scaled(symbolColumn);
    const int width = 2 * (outerMargin + innerMargin) + symbolWidth + spacing +
                      std::max(title.horizontalAdvance(text()), caption.horizontalAdvance(subtitle_));
    return {width, std::max(textHeight, symbolWidth) + 2 * verticalMargin};
}

void MenuRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isEnabled() ? 1.0 : 0.45);
    const bool highlighted = hovering_ && isEnabled();
    const QRectF area = QRectF(rect()).adjusted(outerMargin, 0, -outerMargin, 0);
    if (highlighted) {
        QPainterPath shape;
        shape.addRoundedRect(area, 5, 5);
        painter.fillPath(shape, ui::accent());
    }
    const QColor white(Qt::white);
    const QColor primary = palette().color(QPalette::WindowText);
    const QRect content = area.toRect().adjusted(innerMargin, verticalMargin, -innerMargin, -verticalMargin);
    const int symbolWidth = ui::scaled(symbolColumn);
    const int symbolSide = ui::scaled(symbolLogicalSide);
    painter.drawPixmap(
        content.left() + (symbolWidth - symbolSide) / 2, content.center().y() - symbolSide / 2,
        ui::icon(symbol_, highlighted ? white : ui::secondary(), symbolSide, devicePixelRatioF()));

    const int textLeft = content.left() + symbolWidth + spacing;
    const QFont titleFont = ui::font(ui::TextStyle::body);
    const QFont captionFont = ui::font(ui::TextStyle::caption);
    const int titleHeight = QFontMetrics(titleFont).height();
    const int captionHeight = subtitle_.isEmpty() ? 0 : QFontMetrics(captionFont).height();
    int top = content.center().y() - (titleHeight + captionHeight) / 2;
    painter.setFont(titleFont);
    painter.setPen(highlighted ? white : primary);
    painter.drawText(QRect(textLeft, top, content.right() - textLeft, titleHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, text());
    if (!subtitle_.isEmpty()) {
        top += titleHeight;
        QColor faded = white;
        faded.setAlphaF(0.8);
        painter.setFont(captionFont);
        painter.setPen(highlighted ? faded : ui::secondary());
        painter.drawText(QRect(textLeft, top, content.right() - textLeft, captionHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, subtitle_);
    }
}

void MenuRow::enterEvent(QEnterEvent* event) {
    hovering_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void MenuRow::leaveEvent(QEvent* event) {
    hovering_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace kestrava::app
