#include "app/ui/Scale.hpp"

#include <QApplication>
#include <QFontInfo>
#include <algorithm>
#include <cmath>

namespace kestrava::app::ui {

int pixelSize(const QFont& font) {
    return font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
}

double fontScale() {
    return pixelSize(QApplication::font()) / referenceBodyPx;
}

int scaled(int length) {
    return static_cast<int>(std::lround(length * std::max(1.0, fontScale())));
}

QSize scaled(QSize size) {
    return {scaled(size.width()), scaled(size.height())};
}

} // namespace kestrava::app::ui
