#include "app/ui/TextLabel.hpp"

#include "app/ui/Palette.hpp"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QtMath>

namespace kestrava::app::ui {

bool TextLabel::spacesItsLines() const {
    return wordWrap() &&
           !(textInteractionFlags() & (Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard));
}

std::unique_ptr<QTextDocument> TextLabel::laidOut(qreal width) const {
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(font());
    document->setDocumentMargin(0);
    QTextOption option(alignment() & Qt::AlignHorizontal_Mask);
    option.setWrapMode(QTextOption::WordWrap);
    document->setDefaultTextOption(option);
    // Hyphens here join names that must read whole ("kestrava-agent.service", "--user"): no line breaks
    // after one. Only what is drawn changes; the text stays as it was given.
    QString shown = text();
    shown.replace(QLatin1Char('-'), QChar(0x2011));
    if (textFormat() == Qt::RichText || (textFormat() == Qt::AutoText && Qt::mightBeRichText(text()))) {
        document->setHtml(shown);
    } else {
        document->setPlainText(shown);
    }
    QTextCursor everything(document.get());
    everything.select(QTextCursor::Document);
    QTextBlockFormat spaced;
    spaced.setLineHeight(wrappedLineHeightPercent, QTextBlockFormat::ProportionalHeight);
    everything.mergeBlockFormat(spaced);
    document->setTextWidth(width);
    return document;
}

int TextLabel::heightOf(const QTextDocument& document) {
    const qreal whole = document.documentLayout()->documentSize().height();
    const QTextLayout* last = document.lastBlock().layout();
    if (!last || last->lineCount() == 0) {
        return qCeil(whole);
    }
    const qreal lastLine = last->lineAt(last->lineCount() - 1).height();
    return qCeil(whole - lastLine * (wrappedLineHeightPercent - 100) / 100.0);
}

QSize TextLabel::sizeFor(qreal width) const {
    const auto document = laidOut(width);
    const QMargins margins = contentsMargins();
    return {qCeil(width < 0 ? document->idealWidth() : std::max<qreal>(width, document->idealWidth())) +
                margins.left() + margins.right(),
            heightOf(*document) + margins.top() + margins.bottom()};
}

QSize TextLabel::sizeHint() const {
    if (!spacesItsLines()) {
        return QLabel::sizeHint();
    }
    // As wide as the text runs, up to the width of a comfortable line.
    const qreal comfortable = fontMetrics().averageCharWidth() * 80.0;
    return sizeFor(std::min(laidOut(-1)->idealWidth(), comfortable));
}

QSize TextLabel::minimumSizeHint() const {
    if (!spacesItsLines()) {
        return QLabel::minimumSizeHint();
    }
    // Its longest word wide, one line high: the height that width needs is the layout's to ask for.
    return {sizeFor(laidOut(0)->idealWidth()).width(), sizeFor(-1).height()};
}

int TextLabel::heightForWidth(int width) const {
    if (!spacesItsLines()) {
        return QLabel::heightForWidth(width);
    }
    // A layout asks at its own width, even where the label may not grow as wide.
    const QMargins margins = contentsMargins();
    return sizeFor(std::max(0, std::min(width, maximumWidth()) - margins.left() - margins.right())).height();
}

void TextLabel::paintEvent(QPaintEvent* event) {
    if (!spacesItsLines()) {
        QLabel::paintEvent(event);
        return;
    }
    const QRect area = contentsRect();
    const auto document = laidOut(area.width());
    const int height = heightOf(*document);
    int top = area.top();
    if (alignment() & Qt::AlignBottom) {
        top = area.bottom() + 1 - height;
    } else if (!(alignment() & Qt::AlignTop)) {
        top += (area.height() - height) / 2;
    }
    QPainter painter(this);
    painter.translate(area.left(), top);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    context.palette.setColor(
        QPalette::Text,
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    document->documentLayout()->draw(&painter, context);
}

QLabel* textLabel(const QString& text, TextStyle style, QWidget* parent, const QColor& colour) {
    auto* label = new TextLabel(text, parent);
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
