#include "app/ui/CopyButton.hpp"

#include "app/runtime/UiText.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/Typography.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>

namespace kestrava::app::ui {
namespace {

// At the 13 px body text.
constexpr int markSide = 14;
constexpr int gapAfterMark = 5;

} // namespace

CopyButton::CopyButton(const QString& label, QWidget* parent) : QPushButton(parent), label_(label) {
    setAutoDefault(false);
    setIconSize(QSize(scaled(markSide) + gapAfterMark, scaled(markSide)));
    connect(this, &QPushButton::clicked, this, &CopyButton::copy);
    int widest = 0;
    for (const bool copied : {true, false}) {
        copied_ = copied;
        render();
        widest = std::max(widest, sizeHint().width());
    }
    setMinimumWidth(widest);
}

void CopyButton::setContent(const QString& content) {
    if (content != content_) {
        content_ = content;
        copied_ = false;
        render();
    }
}

void CopyButton::copy() {
    QGuiApplication::clipboard()->setText(content_);
    copied_ = true;
    render();
}

void CopyButton::render() {
    setText(copied_ ? uiText("Đã sao chép") : label_);
    // A styled button sets its icon against its text: the gap is drawn into the icon.
    const qreal ratio = devicePixelRatioF();
    QPixmap mark(iconSize() * ratio);
    mark.setDevicePixelRatio(ratio);
    mark.fill(Qt::transparent);
    QPainter painter(&mark);
    painter.drawPixmap(0, 0,
                       ui::icon(copied_ ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc"),
                                palette().color(QPalette::ButtonText), scaled(markSide), ratio));
    painter.end();
    setIcon(QIcon(mark));
}

} // namespace kestrava::app::ui
