#pragma once

#include "app/ui/Typography.hpp"

#include <QColor>
#include <QLabel>
#include <memory>

class QTextDocument;

namespace kestrava::app::ui {

// A label whose wrapped lines stand `wrappedLineHeightPercent` apart, so that stacked diacritics clear the
// line above, and never break after a hyphen; a single line keeps the font's own height. Labels that wrap
// no text, or whose text can be selected, are drawn as any label. Interface thread.
class TextLabel final : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool spacesItsLines() const;
    // The text laid out `width` wide, or as wide as it runs when `width` is negative.
    std::unique_ptr<QTextDocument> laidOut(qreal width) const;
    // Down to the last line's text: the spacing under it is not the label's.
    static int heightOf(const QTextDocument& document);
    QSize sizeFor(qreal width) const;
};

// A label for text, never for markup (names and messages come from elsewhere): plain, wrapped, in `style`,
// and in `colour` when one is given.
QLabel* textLabel(const QString& text, TextStyle style, QWidget* parent, const QColor& colour = {});

// A label for one of the interface's own texts in which words between double asterisks are bold; every
// other character shows as written.
QLabel* emphasisLabel(const QString& text, TextStyle style, QWidget* parent, const QColor& colour = {});

} // namespace kestrava::app::ui
