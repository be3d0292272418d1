#include "app/onboarding/StatusLine.hpp"

#include "app/ui/BusyIndicator.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"

#include <QHBoxLayout>
#include <QLabel>

namespace kestrava::app {
namespace {

struct Mark {
    const char* symbol;
    QColor colour;
};

Mark markOf(StatusLine::Kind kind) {
    switch (kind) {
    case StatusLine::Kind::ok:
        return {"checkmark.circle.fill", ui::green()};
    case StatusLine::Kind::warning:
        return {"exclamationmark.triangle.fill", ui::orange()};
    case StatusLine::Kind::error:
        return {"xmark.octagon.fill", ui::red()};
    case StatusLine::Kind::neutral:
    case StatusLine::Kind::waiting:
        break;
    }
    return {"minus.circle", ui::secondary()};
}

} // namespace

StatusLine::StatusLine(Kind kind, const QString& text, QWidget* parent, QFont::Weight weight)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    if (kind == Kind::waiting) {
        row->addWidget(new ui::BusyIndicator(ui::BusyIndicator::Size::small, this), 0, Qt::AlignVCenter);
    } else {
        auto* symbol = new QLabel(this);
        symbol->setObjectName(QStringLiteral("symbol"));
        symbol->setPixmap(mark(kind, ui::font(ui::TextStyle::callout).pixelSize() + 3, devicePixelRatioF()));
        row->addWidget(symbol, 0, Qt::AlignVCenter);
    }
    QLabel* label = ui::textLabel(text, ui::TextStyle::callout, this);
    label->setObjectName(QStringLiteral("text"));
    label->setFont(ui::font(ui::TextStyle::callout, weight));
    row->addWidget(label, 1);
}

QPixmap StatusLine::mark(Kind kind, int logicalPx, qreal devicePixelRatio) {
    const Mark mark = markOf(kind);
    return ui::icon(QString::fromLatin1(mark.symbol), mark.colour, logicalPx, devicePixelRatio);
}

} // namespace kestrava::app
