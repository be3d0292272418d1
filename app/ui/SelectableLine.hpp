#pragma once

#include <QString>
#include <QWidget>

class QTextLayout;

namespace kestrava::app::ui {

// One line of plain text that cannot be edited but can be selected and copied with the mouse or the
// keyboard, as in a read-only text field. A text too long for its width is cut in the middle on screen;
// a selection that takes in the ellipsis takes the part it hides, so what is copied is always a piece of
// the whole text. Interface thread.
class SelectableLine final : public QWidget {
    Q_OBJECT

public:
    explicit SelectableLine(QWidget* parent = nullptr);

    // Clears the selection.
    void setText(const QString& text);
    const QString& fullText() const noexcept { return text_; }
    // The line as drawn at the current width.
    QString shownText() const;
    QString selectedText() const;
    void selectAll();
    // Puts the selected text on the clipboard; nothing when none is selected.
    void copy() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Lays out the shown line as the one line drawn in the contents.
    void layOut(QTextLayout& layout, const QString& shown) const;
    // The position in the whole text nearest to `x`.
    qsizetype positionAt(qreal x) const;
    // One step from `from`, forward or back; a step across the ellipsis crosses what it hides.
    qsizetype stepped(qsizetype from, bool forward) const;
    void select(qsizetype anchor, qsizetype cursor);
    // Offers the selection to the desktop's primary selection, where there is one.
    void offerSelection() const;

    QString text_;
    qsizetype anchor_ = 0; // where the selection began, in the whole text
    qsizetype cursor_ = 0; // where it ends
};

} // namespace kestrava::app::ui
