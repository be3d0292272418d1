#pragma once

#include <QFont>
#include <QPixmap>
#include <QString>
#include <QWidget>

namespace kestrava::app {

// One line that tells how a page's step stands: a symbol for its kind (a spinner while waiting) and a
// text, shown as written (it may come from elsewhere) and wrapped when long. Interface thread.
class StatusLine final : public QWidget {
    Q_OBJECT

public:
    enum class Kind { ok, warning, error, waiting, neutral };

    StatusLine(Kind kind, const QString& text, QWidget* parent = nullptr,
               QFont::Weight weight = QFont::Normal);

    // The symbol of a kind other than `waiting`, in its colour, `logicalPx` square.
    static QPixmap mark(Kind kind, int logicalPx, qreal devicePixelRatio);
};

} // namespace kestrava::app
