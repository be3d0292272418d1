#include "app/pairing/Outcome.hpp"

#include "app/ui/Palette.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"
#include "app/ui/WindowSize.hpp"

#include <QLabel>
#include <QVBoxLayout>

namespace kestrava::app {
namespace {

constexpr int outcomeWidth = 360;

QLabel* centred(const QString& name, ui::TextStyle style, QWidget* parent, const QColor& colour = {}) {
    QLabel* label = ui::textLabel({}, style, parent, colour);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    // So that its height is measured at the width it gets, not at the wider one around it.
    label->setMaximumWidth(ui::grownWithFont(outcomeWidth));
    return label;
}

} // namespace

Outcome::Outcome(QWidget* parent) : QWidget(parent) {
    // Fixed rather than at most: wrapped texts then take the height they need.
    setFixedWidth(ui::grownWithFont(outcomeWidth));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 24, 0, 24);
    layout->setSpacing(10);
    symbol_ = new QLabel(this);
    symbol_->setObjectName(QStringLiteral("outcomeSymbol"));
    symbol_->setAlignment(Qt::AlignCenter);
    layout->addWidget(symbol_);
    title_ = centred(QStringLiteral("outcomeTitle"), ui::TextStyle::title3, this);
    title_->setFont(ui::font(ui::TextStyle::title3, QFont::DemiBold));
    layout->addWidget(title_);
    detail_ = centred(QStringLiteral("outcomeDetail"), ui::TextStyle::body, this, ui::secondary());
    layout->addWidget(detail_);
}

void Outcome::render(const QString& symbol, const QColor& tint, const QString& title,
                     const std::optional<QString>& detail) {
    symbol_->setPixmap(ui::icon(symbol, tint, ui::scaled(44), devicePixelRatioF()));
    symbol_->setProperty("symbol", symbol);
    title_->setText(title);
    detail_->setText(detail.value_or(QString()));
    detail_->setVisible(detail.has_value());
}

} // namespace kestrava::app
