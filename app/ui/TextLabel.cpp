#include "app/ui/TextLabel.hpp"

#include "app/ui/Palette.hpp"

namespace kestrava::app::ui {

QLabel* textLabel(const QString& text, TextStyle style, QWidget* parent, const QColor& colour) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(font(style));
    if (colour.isValid()) {
        label->setStyleSheet(QStringLiteral("color: %1;").arg(css(colour)));
    }
    return label;
}

} // namespace kestrava::app::ui
