#include "app/ui/TextLabel.hpp"

#include "app/ui/Palette.hpp"

#include <QRegularExpression>

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

QLabel* emphasisLabel(const QString& text, TextStyle style, QWidget* parent, const QColor& colour) {
    static const QRegularExpression emphasis(QStringLiteral("\\*\\*(.+?)\\*\\*"));
    QLabel* label = textLabel({}, style, parent, colour);
    label->setTextFormat(Qt::RichText);
    QString html = text.toHtmlEscaped();
    html.replace(emphasis, QStringLiteral("<b>\\1</b>"));
    label->setText(html);
    return label;
}

} // namespace kestrava::app::ui
