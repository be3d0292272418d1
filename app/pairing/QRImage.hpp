#pragma once

#include <QImage>
#include <optional>
#include <string>

namespace kestrava::app {

// Where a code of `modules` modules a side goes in a square of `pixels`: whole pixels per module, with
// room for a quiet zone of four modules on each side while there is space for it.
struct QRLayout {
    int scale;  // pixels a module takes on each axis, at least 1
    int side;   // pixels the code takes on each axis
    int offset; // the code's first pixel on each axis; negative when the code is cropped
};

QRLayout qrLayout(int modules, int pixels);

// `text` as a QR code at level M, black on white, `pixels` square; none when `pixels` is not positive or
// the text is too long for any QR code (logged).
std::optional<QImage> qrImage(const std::string& text, int pixels);

} // namespace kestrava::app
