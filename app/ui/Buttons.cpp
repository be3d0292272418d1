#include "app/ui/Buttons.hpp"

#include "app/ui/Palette.hpp"
#include "app/ui/Typography.hpp"

namespace kestrava::app::ui {
namespace {

constexpr char prominentProperty[] = "kestravaProminent";
constexpr char largeProperty[] = "kestravaLarge";
constexpr char tintProperty[] = "kestravaTint";

// The room between a button's label and its edge. A prominent button draws no frame, so it takes the
// frame's pixel as room of its own and comes out as large as its neighbours.
constexpr int verticalPadding = 5;
constexpr int horizontalPadding = 16;
constexpr int frameWidth = 1;

QString padding(int vertical, int horizontal) {
    return QStringLiteral("%1px %2px").arg(vertical).arg(horizontal);
}

// Both looks are written into one style sheet from the button's marks, so neither undoes the other.
void restyle(QPushButton* button) {
    const bool large = button->property(largeProperty).toBool();
    QString sheet;
    if (button->property(prominentProperty).toBool()) {
        const QColor tint = button->property(tintProperty).value<QColor>();
        const QColor background = tint.isValid() ? tint : accent();
        QColor disabledBackground = tertiary();
        disabledBackground.setAlphaF(0.12f);
        sheet +=
            QStringLiteral("QPushButton { background-color: %1; color: white; border: none;"
                           " border-radius: 6px; padding: %2; }"
                           " QPushButton:hover { background-color: %3; }"
                           " QPushButton:pressed { background-color: %4; }"
                           " QPushButton:disabled { background-color: %5; color: %6; }")
                .arg(css(background),
                     large ? padding(verticalPadding + frameWidth + 2, horizontalPadding + frameWidth + 4)
                           : padding(verticalPadding + frameWidth, horizontalPadding + frameWidth),
                     css(background.lighter(108)), css(background.darker(112)), css(disabledBackground),
                     css(tertiary()));
    }
    if (large) {
        const int textPx = font(TextStyle::title3).pixelSize();
        sheet +=
            QStringLiteral(" QPushButton { font-size: %1px; min-height: %2px; }").arg(textPx).arg(textPx * 2);
    }
    button->setStyleSheet(sheet);
}

} // namespace

void makeProminent(QPushButton* button, const QColor& tint) {
    button->setProperty(prominentProperty, true);
    button->setProperty(tintProperty, tint);
    restyle(button);
}

void makeLarge(QPushButton* button) {
    button->setProperty(largeProperty, true);
    restyle(button);
}

QString buttonStyleSheet() {
    return QStringLiteral("QPushButton { padding: %1; }").arg(padding(verticalPadding, horizontalPadding));
}

} // namespace kestrava::app::ui
