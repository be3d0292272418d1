#include "app/ui/CardFrame.hpp"

#include <QPainter>
#include <algorithm>

namespace kestrava::app::ui {

CardFrame::CardFrame(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
}

void CardFrame::setFill(const QColor& fill) {
    fill_ = fill;
    update();
}

void CardFrame::setCornerRadius(qreal radius) {
    cornerRadius_ = radius;
    update();
}

void CardFrame::setStroke(const QColor& stroke) {
    stroke_ = stroke;
    update();
}

void CardFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill_);
    painter.drawRoundedRect(QRectF(rect()), cornerRadius_, cornerRadius_);
    if (stroke_.isValid()) {
        // Half a pixel in, so that the whole line lies inside the card.
        painter.setPen(QPen(stroke_, 1.0));
        painter.setBrush(Qt::NoBrush);
        const qreal radius = std::max(0.0, cornerRadius_ - 0.5);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    }
}

} // namespace kestrava::app::ui
