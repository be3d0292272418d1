#include "app/ui/Palette.hpp"

#include <QApplication>
#include <QPalette>
#include <cmath>

namespace kestrava::app::ui {
namespace {

QColor windowText(double alpha) {
    QColor colour = QApplication::palette().color(QPalette::WindowText);
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

bool darkWindow() {
    return QApplication::palette().color(QPalette::Window).lightness() < 128;
}

} // namespace

QColor accent() {
    return QApplication::palette().color(QPalette::Highlight);
}

QColor secondary() {
    return windowText(0.6);
}

QColor tertiary() {
    return windowText(0.3);
}

// The same hues as orange() and red(), with their lightness moved until text in them can be read.
QColor warningText() {
    return darkWindow() ? orange() : QColor(0x9C, 0x5B, 0x00);
}

QColor errorText() {
    return darkWindow() ? QColor(0xFF, 0x73, 0x6B) : destructive();
}

QColor destructive() {
    return {0xD8, 0x0B, 0x00};
}

QColor green() {
    return {0x34, 0xC7, 0x59};
}

QColor yellow() {
    return {0xFF, 0xCC, 0x00};
}

QColor orange() {
    return {0xFF, 0x95, 0x00};
}

QColor red() {
    return {0xFF, 0x3B, 0x30};
}

QColor gray() {
    return {0x8E, 0x8E, 0x93};
}

QString css(const QColor& colour) {
    // Qt reads an alpha of at most 1 as a fraction and truncates it to a byte: rounded up, it comes back
    // as the same byte.
    const double alpha = std::ceil(colour.alpha() * 1e6 / 255.0) / 1e6;
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(alpha, 0, 'f', 6);
}

} // namespace kestrava::app::ui
