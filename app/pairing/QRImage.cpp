#include "app/pairing/QRImage.hpp"

#include "app/runtime/AppLog.hpp"

#include <algorithm>
#include <memory>
#include <qrencode.h>
#include <string>

namespace kestrava::app {
namespace {

constexpr int quietZoneModules = 4;

struct QRcodeFree {
    void operator()(QRcode* code) const { QRcode_free(code); }
};

using EncodedQR = std::unique_ptr<QRcode, QRcodeFree>;

EncodedQR encode(const std::string& text) {
    // 0: the smallest version the text fits in.
    return EncodedQR(QRcode_encodeData(static_cast<int>(text.size()),
                                       reinterpret_cast<const unsigned char*>(text.data()), 0, QR_ECLEVEL_M));
}

} // namespace

QRLayout qrLayout(int modules, int pixels) {
    const int scale = std::max(1, pixels / (modules + 2 * quietZoneModules));
    const int side = scale * modules;
    return {scale, side, (pixels - side) / 2};
}

std::optional<QImage> qrImage(const std::string& text, int pixels) {
    if (pixels <= 0) {
        return std::nullopt;
    }
    const EncodedQR code = encode(text);
    if (!code) {
        appLog(AppLogLevel::error, "Pairing",
               "the pairing link (" + std::to_string(text.size()) + " bytes) cannot be drawn as a QR code");
        return std::nullopt;
    }
    const int modules = code->width;
    const QRLayout layout = qrLayout(modules, pixels);
    QImage image(pixels, pixels, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    const QRect bounds = image.rect();
    for (int y = 0; y < modules; ++y) {
        for (int x = 0; x < modules; ++x) {
            // libqrencode's lowest bit of a module is its colour: 1 is dark.
            if ((code->data[y * modules + x] & 1) == 0) {
                continue;
            }
            const QRect block = QRect(layout.offset + x * layout.scale, layout.offset + y * layout.scale,
                                      layout.scale, layout.scale)
                                    .intersected(bounds);
            for (int row = block.top(); row <= block.bottom(); ++row) {
                std::fill_n(image.scanLine(row) + block.left(), block.width(), 0);
            }
        }
    }
    return image;
}

} // namespace kestrava::app
