#include "app/ui/SelectableLine.hpp"

#include <QClipboard>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QtMath>
#include <algorithm>

namespace kestrava::app::ui {
namespace {

// The line on screen: the text's first `head` and last `tail` characters around an ellipsis, or the whole
// text (then `head` is its length and `tail` 0).
struct CutLine {
    QString shown;
    qsizetype length; // of the whole text
    qsizetype head;
    qsizetype tail;

    static CutLine of(const SelectableLine& widget) {
        const QString& text = widget.fullText();
        const QString shown =
            QFontMetrics(widget.font()).elidedText(text, Qt::ElideMiddle, widget.contentsRect().width());
        if (shown == text) {
            return {shown, text.size(), text.size(), 0};
        }
        const qsizetype room = std::min(shown.size(), text.size());
        qsizetype head = 0;
        while (head < room && shown[head] == text[head]) {
            ++head;
        }
        qsizetype tail = 0;
        while (head + tail < room && shown[shown.size() - 1 - tail] == text[text.size() - 1 - tail]) {
            ++tail;
        }
        return {shown, text.size(), head, tail};
    }

    // The first position of the whole text after the part the ellipsis hides.
    qsizetype hiddenEnd() const { return length - tail; }

    // Where a position of the whole text stands on the line; one the ellipsis hides stands before it, or
    // after it when `afterHidden`.
    qsizetype shownAt(qsizetype position, bool afterHidden) const {
        if (position <= head) {
            return position;
        }
        if (position >= hiddenEnd()) {
            return shown.size() - (length - position);
        }
        return afterHidden ? shown.size() - tail : head;
    }

    // Where a position of the line stands in the whole text; inside the ellipsis, at its nearer end.
    qsizetype wholeAt(qsizetype position) const {
        const qsizetype afterEllipsis = shown.size() - tail;
        if (position <= head) {
            return position;
        }
        if (position >= afterEllipsis) {
            return length - (shown.size() - position);
        }
        return position - head <= afterEllipsis - position ? head : hiddenEnd();
    }
};

} // namespace

SelectableLine::SelectableLine(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setForegroundRole(QPalette::Text); // it stands on a field's base colour
}

void SelectableLine::setText(const QString& text) {
    text_ = text;
    anchor_ = cursor_ = 0;
    updateGeometry();
    update();
}

QString SelectableLine::shownText() const {
    return CutLine::of(*this).shown;
}

QString SelectableLine::selectedText() const {
    const auto [from, to] = std::minmax(anchor_, cursor_);
    return text_.mid(from, to - from);
}

void SelectableLine::selectAll() {
    select(0, text_.size());
}

void SelectableLine::copy() const {
    if (anchor_ != cursor_) {
        QGuiApplication::clipboard()->setText(selectedText());
    }
}

QSize SelectableLine::sizeHint() const {
    const QMargins margins = contentsMargins();
    // Rounded up: a text given its width rounded down would be cut.
    return {qCeil(QFontMetricsF(font()).horizontalAdvance(text_)) + margins.left() + margins.right(),
            QFontMetrics(font()).height() + margins.top() + margins.bottom()};
}

QSize SelectableLine::minimumSizeHint() const {
    const QMargins margins = contentsMargins();
    return {QFontMetrics(font()).horizontalAdvance(QStringLiteral("…")) + margins.left() + margins.right(),
            QFontMetrics(font()).height() + margins.top() + margins.bottom()};
}

void SelectableLine::layOut(QTextLayout& layout, const QString& shown) const {
    layout.setText(shown);
    layout.setFont(font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        const QRect area = contentsRect();
        line.setLineWidth(area.width());
        line.setPosition(QPointF(area.left(), area.top() + (area.height() - line.height()) / 2));
    }
    layout.endLayout();
}

qsizetype SelectableLine::positionAt(qreal x) const {
    const CutLine line = CutLine::of(*this);
    QTextLayout layout;
    layOut(layout, line.shown);
    return layout.lineCount() == 0 ? 0 : line.wholeAt(layout.lineAt(0).xToCursor(x));
}

qsizetype SelectableLine::stepped(qsizetype from, bool forward) const {
    const CutLine line = CutLine::of(*this);
    if (forward && from >= line.head && from < line.hiddenEnd()) {
        return line.hiddenEnd();
    }
    if (!forward && from > line.head && from <= line.hiddenEnd()) {
        return line.head;
    }
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text_);
    graphemes.setPosition(from);
    const qsizetype next = forward ? graphemes.toNextBoundary() : graphemes.toPreviousBoundary();
    return next < 0 ? from : next;
}

void SelectableLine::select(qsizetype anchor, qsizetype cursor) {
    anchor_ = std::clamp<qsizetype>(anchor, 0, text_.size());
    cursor_ = std::clamp<qsizetype>(cursor, 0, text_.size());
    update();
}

void SelectableLine::offerSelection() const {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection() && anchor_ != cursor_) {
        clipboard->setText(selectedText(), QClipboard::Selection);
    }
}

void SelectableLine::paintEvent(QPaintEvent*) {
    const CutLine line = CutLine::of(*this);
    QTextLayout layout;
    layOut(layout, line.shown);
    QVector<QTextLayout::FormatRange> selections;
    if (anchor_ != cursor_) {
        const auto [from, to] = std::minmax(anchor_, cursor_);
        const qsizetype start = line.shownAt(from, false);
        const qsizetype end = line.shownAt(to, true);
        QTextLayout::FormatRange selected;
        selected.start = static_cast<int>(start);
        selected.length = static_cast<int>(end - start);
        selected.format.setBackground(palette().brush(QPalette::Highlight));
        selected.format.setForeground(palette().brush(QPalette::HighlightedText));
        selections << selected;
    }
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    layout.draw(&painter, QPointF(), selections);
}

void SelectableLine::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const qsizetype at = positionAt(event->position().x());
    select(event->modifiers() & Qt::ShiftModifier ? anchor_ : at, at);
}

void SelectableLine::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        select(anchor_, positionAt(event->position().x()));
    }
}

void SelectableLine::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        offerSelection();
    }
}

void SelectableLine::mouseDoubleClickEvent(QMouseEvent* event) {
    // The whole text, as one would want of a link.
    if (event->button() == Qt::LeftButton) {
        selectAll();
        offerSelection();
    }
}

void SelectableLine::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->matches(QKeySequence::MoveToPreviousChar)) {
        const qsizetype at = stepped(cursor_, false);
        select(at, at);
    } else if (event->matches(QKeySequence::MoveToNextChar)) {
        const qsizetype at = stepped(cursor_, true);
        select(at, at);
    } else if (event->matches(QKeySequence::MoveToStartOfLine)) {
        select(0, 0);
    } else if (event->matches(QKeySequence::MoveToEndOfLine)) {
        select(text_.size(), text_.size());
    } else if (event->matches(QKeySequence::SelectPreviousChar)) {
        select(anchor_, stepped(cursor_, false));
    } else if (event->matches(QKeySequence::SelectNextChar)) {
        select(anchor_, stepped(cursor_, true));
    } else if (event->matches(QKeySequence::SelectStartOfLine)) {
        select(anchor_, 0);
    } else if (event->matches(QKeySequence::SelectEndOfLine)) {
        select(anchor_, text_.size());
    } else {
        // Not ours: the window's shortcuts and the focus chain keep theirs.
        event->ignore();
    }
}

void SelectableLine::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (anchor_ == cursor_ && (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                               reason == Qt::ShortcutFocusReason)) {
        selectAll();
    }
}

void SelectableLine::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) {
        select(cursor_, cursor_);
    }
}

void SelectableLine::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
    }
}

} // namespace kestrava::app::ui
