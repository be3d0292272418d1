#include "app/onboarding/StepHeader.hpp"

#include "app/ui/Palette.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kestrava::app {

StepHeader::StepHeader(const QString& symbol, const QString& title, const QString& detail, QWidget* parent)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("symbol"));
    const int side = ui::scaled(30) + 6;
    image->setPixmap(ui::icon(symbol, ui::accent(), side, devicePixelRatioF()));
    image->setFixedWidth(ui::scaled(40));
    image->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    row->addWidget(image, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(6);
    QLabel* titleLabel = ui::textLabel(title, ui::TextStyle::title2, this);
    titleLabel->setObjectName(QStringLiteral("title"));
    titleLabel->setFont(ui::font(ui::TextStyle::title2, QFont::DemiBold));
    texts->addWidget(titleLabel);
    QLabel* detailLabel = ui::emphasisLabel(detail, ui::TextStyle::body, this, ui::secondary());
    detailLabel->setObjectName(QStringLiteral("detail"));
    texts->addWidget(detailLabel);
    row->addLayout(texts, 1);
}

} // namespace kestrava::app
