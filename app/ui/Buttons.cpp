#include "app/ui/Buttons.hpp"

#include "app/ui/Palette.hpp"
#include "app/ui/Typography.hpp"

namespace kestrava::app::ui {
namespace {

constexpr char prominentProperty[] = "kestravaProminent";
constexpr char largeProperty[] = "kestravaLarge";
constexpr char tintProperty[] = "kestravaTint";

// The room between a button's label and its edge, and what a large button adds to it. A prominent button
// draws no frame, so it takes the frame's pixel as room of its own and comes out as large as its neighbours.
constexpr int verticalPadding = 5;
constexpr int horizontalPadding = 16;
constexpr int largeVerticalExtra = 2;
constexpr int largeHorizontalExtra = 4;
constexpr int frameWidth = 1;
// A check box's side at the 13 px body text, as the desktop's style draws it there.
constexpr int checkBoxSide = 14;

QString padding(int vertical, int horizontal) {
    return QStringLiteral("%1px %2px").arg(vertical).arg(horizontal);
}

// Both looks are written into one style sheet from the button's marks, so neither undoes the other.
void restyle(QPushButton* button) {
    const bool large = button->property(largeProperty).toBool();
    const bool prominent = button->property(prominentProperty).toBool();
    const int frame = prominent ? frameWidth : 0;
    QString sheet = QStringLiteral("QPushButton { padding: %1; }")
                        .arg(padding(verticalPadding + (large ? largeVerticalExtra : 0) + frame,
                                     horizontalPadding + (large ? largeHorizontalExtra : 0) + frame));
    if (prominent) {
        const QColor tint = button->property(tintProperty).value<QColor>();
        const QColor background = tint.isValid() ? tint : accent();
        QColor disabledBackground = tertiary();
        disabledBackground.setAlphaF(0.12f);
        sheet += QStringLiteral(" QPushButton { background-color: %1; color: white; border: none;"
                                " border-radius: 6px; }"
                                " QPushButton:hover { background-color: %2; }"
                                " QPushButton:pressed { background-color: %3; }"
                                " QPushButton:disabled { background-color: %4; color: %5; }")
                     .arg(css(background), css(background.lighter(108)), css(background.darker(112)),
                          css(disabledBackground), css(tertiary()));
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

QString checkBoxStyleSheet() {
    return QStringLiteral("QCheckBox::indicator { width: %1px; height: %1px; }").arg(scaled(checkBoxSide));
}

} // namespace kestrava::app::ui
