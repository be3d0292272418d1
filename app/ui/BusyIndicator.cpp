#include "app/ui/BusyIndicator.hpp"

#include "app/ui/Palette.hpp"
#include "app/ui/Typography.hpp"

#include <QPainter>
#include <algorithm>

namespace kestrava::app::ui {
namespace {

constexpr int stepMs = 60;
// A turn in 15 steps: a little under a second.
constexpr int stepDegrees = 24;
constexpr int arcDegrees = 270;

} // namespace

BusyIndicator::BusyIndicator(Size size, QWidget* parent)
    : QWidget(parent), side_(scaled(size == Size::small ? 16 : 32)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    timer_.setInterval(stepMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        angle_ = (angle_ + stepDegrees) % 360;
        update();
    });
}

QSize BusyIndicator::sizeHint() const {
    return {side_, side_};
}

void BusyIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal weight = side_ / 9.0;
    const qreal side = std::min(width(), height()) - weight;
    const QRectF ring(QPointF(width() - side, height() - side) / 2, QSizeF(side, side));
    painter.setPen(QPen(secondary(), weight, Qt::SolidLine, Qt::RoundCap));
    // Qt counts angles anticlockwise in sixteenths of a degree; the arc turns clockwise.
    painter.drawArc(ring, -angle_ * 16, arcDegrees * 16);
}

void BusyIndicator::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    timer_.start();
}

void BusyIndicator::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_.stop();
}

} // namespace kestrava::app::ui
