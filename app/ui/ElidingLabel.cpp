#include "app/ui/ElidingLabel.hpp"

#include "app/ui/Typography.hpp"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <QtMath>
#include <algorithm>

namespace kestrava::app::ui {

ElidingLabel::ElidingLabel(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {}

void ElidingLabel::setText(const QString& text) {
    text_ = text;
    if (fullTextToolTip_) {
        setToolTip(text_);
    }
    updateGeometry();
    update();
}

void ElidingLabel::setElideMode(Qt::TextElideMode mode) {
    mode_ = mode;
    update();
}

void ElidingLabel::setMaximumLines(int lines) {
    maximumLines_ = std::max(1, lines);
    updateGeometry();
    update();
}

void ElidingLabel::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment & Qt::AlignHorizontal_Mask;
    update();
}

void ElidingLabel::setFullTextToolTip(bool shown) {
    fullTextToolTip_ = shown;
    setToolTip(shown ? text_ : QString());
}

QSize ElidingLabel::sizeHint() const {
    const QMargins margins = contentsMargins();
    // Rounded up: a text given its width rounded down would be cut.
    return {qCeil(QFontMetricsF(font()).horizontalAdvance(text_)) + margins.left() + margins.right(),
            heightOf(1) + margins.top() + margins.bottom()};
}

QSize ElidingLabel::minimumSizeHint() const {
    const QMargins margins = contentsMargins();
    return {QFontMetrics(font()).horizontalAdvance(QStringLiteral("…")) + margins.left() + margins.right(),
            heightOf(1) + margins.top() + margins.bottom()};
}

bool ElidingLabel::hasHeightForWidth() const {
    return maximumLines_ > 1;
}

int ElidingLabel::heightForWidth(int width) const {
    const QMargins margins = contentsMargins();
    return heightOf(linesFor(width - margins.left() - margins.right()).size()) + margins.top() +
           margins.bottom();
}

void ElidingLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QRect area = contentsRect();
    const QStringList lines = linesFor(area.width());
    QRect line(area.left(), area.top() + (area.height() - heightOf(lines.size())) / 2, area.width(),
               metrics.height());
    for (const QString& text : lines) {
        style()->drawItemText(&painter, line, alignment_ | Qt::AlignVCenter, palette(), isEnabled(), text,
                              foregroundRole());
        line.translate(0, wrappedLineStep(font()));
    }
}

void ElidingLabel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
    }
}

QString ElidingLabel::shownText() const {
    return linesFor(contentsRect().width()).join(u'\n');
}

QStringList ElidingLabel::linesFor(int width) const {
    const QFontMetrics metrics(font());
    if (maximumLines_ == 1) {
        return {metrics.elidedText(text_, mode_, width)};
    }
    QTextLayout layout(text_, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() + 1 == maximumLines_) {
            // The last line takes all the rest.
            lines << metrics.elidedText(text_.mid(line.textStart()), Qt::ElideRight, width);
            break;
        }
        lines << text_.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

int ElidingLabel::heightOf(qsizetype lines) const {
    const QFontMetrics metrics(font());
    return metrics.height() + static_cast<int>(std::max<qsizetype>(0, lines - 1)) * wrappedLineStep(font());
}

} // namespace kestrava::app::ui
