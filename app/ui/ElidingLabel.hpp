#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

namespace kestrava::app::ui {

// A label for text that may be too long for its place: always plain text (markup shows as written), on
// one line cut with an ellipsis to the width it is given, or wrapped on up to a few lines with the
// ellipsis at the end of the last. The whole text stays available. Interface thread.
class ElidingLabel final : public QWidget {
    Q_OBJECT

public:
    explicit ElidingLabel(const QString& text = {}, QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& fullText() const noexcept { return text_; }
    // The lines as drawn at the current width, joined by "\n".
    QString shownText() const;

    // Where a single line is cut: Qt::ElideRight (the default) or Qt::ElideMiddle.
    void setElideMode(Qt::TextElideMode mode);
    // 1 (the default) or more; beyond one line the text wraps at word boundaries.
    void setMaximumLines(int lines);
    // Where the lines sit across the width: Qt::AlignLeft (the default), Qt::AlignHCenter or Qt::AlignRight.
    void setAlignment(Qt::Alignment alignment);
    // Whether the tooltip shows the full text.
    void setFullTextToolTip(bool shown);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QStringList linesFor(int width) const;
    int heightOf(qsizetype lines) const;

    QString text_;
    Qt::TextElideMode mode_ = Qt::ElideRight;
    int maximumLines_ = 1;
    Qt::Alignment alignment_ = Qt::AlignLeft;
    bool fullTextToolTip_ = false;
};

} // namespace kestrava::app::ui
