#pragma once

#include <QColor>
#include <QFrame>

namespace kestrava::app::ui {

// A frame drawn as a rounded rectangle: a fill (its alpha lets the window show through) and, when given,
// a 1 px stroke just inside the edge. Holds a layout like any frame. Interface thread.
class CardFrame final : public QFrame {
    Q_OBJECT

public:
    explicit CardFrame(QWidget* parent = nullptr);

    void setFill(const QColor& fill);
    void setCornerRadius(qreal radius);
    // An invalid colour (the default) draws no stroke.
    void setStroke(const QColor& stroke);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_ = Qt::transparent;
    qreal cornerRadius_ = 8.0;
    QColor stroke_;
};

} // namespace kestrava::app::ui
