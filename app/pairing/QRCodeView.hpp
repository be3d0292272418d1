#pragma once

#include <QImage>
#include <QWidget>
#include <optional>
#include <string>

namespace kestrava::app {

// A text's QR code on a white rounded card of `side` logical pixels, one bitmap pixel to each device
// pixel so that the modules stay sharp on any screen.
class QRCodeView : public QWidget {
    Q_OBJECT

public:
    explicit QRCodeView(int side, QWidget* parent = nullptr);

    void setText(const std::string& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The bitmap of the text for one device pixel ratio; none when the text cannot be drawn.
    struct Bitmap {
        qreal ratio;
        std::optional<QImage> image;
    };

    const std::optional<QImage>& bitmapFor(qreal ratio);

    int side_;
    std::string text_;
    std::optional<Bitmap> bitmap_;
};

} // namespace kestrava::app
