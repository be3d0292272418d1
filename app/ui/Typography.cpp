#include "app/ui/Typography.hpp"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace kestrava::app::ui {
namespace {

// The size the style table is written for: the body text's.
constexpr double bodyPx = 13.0;

double logicalSize(TextStyle style) {
    switch (style) {
    case TextStyle::body:
    case TextStyle::headline:
        return bodyPx;
    case TextStyle::callout:
        return 12.0;
    case TextStyle::subheadline:
        return 11.0;
    case TextStyle::caption:
        return 10.0;
    case TextStyle::title3:
        return 15.0;
    case TextStyle::title2:
        return 17.0;
    case TextStyle::title:
        return 22.0;
    }
    return bodyPx;
}

// The application font is often given in points; what it measures on screen is what scales.
int pixelSize(const QFont& font) {
    return font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
}

} // namespace

QFont font(TextStyle style, QFont::Weight weight) {
    return sized(logicalSize(style),
                 style == TextStyle::headline ? std::max(weight, QFont::DemiBold) : weight);
}

QFont sized(double logicalPx, QFont::Weight weight) {
    QFont font = QApplication::font();
    font.setPixelSize(std::max(minimumTextPx, scaled(logicalPx)));
    font.setWeight(weight);
    return font;
}

int scaled(double logicalPx) {
    const double scale = pixelSize(QApplication::font()) / bodyPx;
    return std::max(1, static_cast<int>(std::lround(logicalPx * scale)));
}

QFont monospaced(QFont base) {
    const int size = pixelSize(base);
    base.setFamilies(QFontDatabase::systemFont(QFontDatabase::FixedFont).families());
    // Where the desktop names no fixed-pitch family, the hints still lead to one.
    base.setStyleHint(QFont::Monospace);
    base.setFixedPitch(true);
    base.setPixelSize(size);
    return base;
}

int wrappedLineStep(const QFont& font) {
    const QFontMetricsF metrics(font);
    // As a text document rounds a line's height before it scales it.
    const qreal line = std::ceil(metrics.ascent() + metrics.descent() + std::max(0.0, metrics.leading()));
    return static_cast<int>(std::ceil(line * wrappedLineHeightPercent / 100.0));
}

} // namespace kestrava::app::ui
