#include "app/ui/Typography.hpp"

#include "app/ui/Scale.hpp"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace kestrava::app::ui {
namespace {

double logicalSize(TextStyle style) {
    switch (style) {
    case TextStyle::body:
    case TextStyle::headline:
        return referenceBodyPx;
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
    return referenceBodyPx;
}

} // namespace

QFont font(TextStyle style, QFont::Weight weight) {
    return sized(logicalSize(style),
                 style == TextStyle::headline ? std::max(weight, QFont::DemiBold) : weight);
}

QFont sized(double logicalPx, QFont::Weight weight) {
    QFont font = QApplication::font();
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(logicalPx * fontScale()))));
    font.setWeight(weight);
    return font;
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
