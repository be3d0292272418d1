#include "app/pairing/QRCodeView.hpp"

#include "app/pairing/QRImage.hpp"
#include "app/runtime/UiText.hpp"

#include <QPainter>
#include <QPainterPath>

namespace kestrava::app {
namespace {

constexpr qreal cornerRadius = 10;
constexpr qreal borderWidth = 1;
constexpr qreal borderOpacity = 0.08;

QPainterPath roundedCard(const QRectF& rect) {
    QPainterPath path;
    path.addRoundedRect(rect, cornerRadius, cornerRadius);
    return path;
}

} // namespace

QRCodeView::QRCodeView(int side, QWidget* parent) : QWidget(parent), side_(side) {
    setFixedSize(side, side);
    setAccessibleName(uiText("Mã QR ghép iPhone"));
}

void QRCodeView::setText(const std::string& text) {
    text_ = text;
    bitmap_.reset();
    update();
}

const std::optional<QImage>& QRCodeView::bitmapFor(qreal ratio) {
    if (!bitmap_ || bitmap_->ratio != ratio) {
        // No text yet is a blank card, not a link that failed to encode.
        bitmap_ = Bitmap{ratio, text_.empty() ? std::nullopt : qrImage(text_, qRound(side_ * ratio))};
        if (bitmap_->image) {
            bitmap_->image->setDevicePixelRatio(ratio);
        }
    }
    return bitmap_->image;
}

void QRCodeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Modules are whole device pixels: any filtering would blur their edges.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRectF card = rect();
    const QPainterPath cardPath = roundedCard(card);
    painter.fillPath(cardPath, Qt::white);
    if (const auto& image = bitmapFor(devicePixelRatioF())) {
        // The bitmap is square; the card's corners stay round.
        painter.save();
        painter.setClipPath(cardPath);
        painter.drawImage(QPointF(0, 0), *image);
        painter.restore();
    }
    const qreal inset = borderWidth / 2;
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, borderOpacity), borderWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(roundedCard(card.adjusted(inset, inset, -inset, -inset)));
}

} // namespace kestrava::app
