#include "app/menu/PhonesListView.hpp"

#include "app/runtime/UiText.hpp"
#include "app/ui/Discard.hpp"
#include "app/ui/ElidingLabel.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/RelativeDate.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace kestrava::app {
namespace {

// The removal button's height at the 13 px body text: the style keeps the room around its label fixed, so
// at a larger font the height is what makes the button grow as its text does.
constexpr int removalButtonHeight = 21;

QLabel* secondaryLabel(const QString& objectName, const QString& text, ui::TextStyle style, QWidget* parent) {
    QLabel* label = ui::textLabel(text, style, parent, ui::secondary());
    label->setObjectName(objectName);
    label->setWordWrap(false);
    return label;
}

QString removalToolTip(RelayLink link) {
    switch (link) {
    case RelayLink::connected:
        return uiText("Gỡ iPhone này");
    case RelayLink::offline:
        return uiText("Sẽ gỡ khỏi relay khi kết nối lại");
    case RelayLink::configLost:
        return uiText("Chỉ gỡ trên Mac; relay sẽ không được báo");
    }
    return uiText("Gỡ iPhone này");
}

QString lastUsedText(const PhoneInfo& phone, Timestamp now, const QLocale& locale) {
    return phone.lastUsed ? uiText("Dùng lần cuối %1").arg(ui::relativeDate(*phone.lastUsed, now, locale))
                          : uiText("Chưa dùng");
}

} // namespace

PhonesListView::PhonesListView(PhonesListStyle style, Confirmer confirm, QWidget* parent)
    : QWidget(parent), style_(style), confirm_(std::move(confirm)) {
    setObjectName(QStringLiteral("phonesList"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The menu stacks its rows 6 apart; the settings form gives each row more room.
    layout->setSpacing(style_ == PhonesListStyle::menu ? 6 : 12);
    emptyText_ = secondaryLabel(QStringLiteral("emptyText"), uiText("Chưa ghép iPhone nào"),
                                ui::TextStyle::callout, this);
    layout->addWidget(emptyText_);
}

void PhonesListView::render(const std::vector<PhoneInfo>& phones, RelayLink link,
                            std::function<void(const PhoneInfo&)> revoke, Timestamp now) {
    for (QWidget* row : findChildren<QWidget*>(QStringLiteral("phoneRow"), Qt::FindDirectChildrenOnly)) {
        // The row may hold the button whose click is still being handled: a confirmation's nested loop can
        // rebuild the list.
        ui::discardLater(row);
    }
    emptyText_->setVisible(phones.empty());
    for (const PhoneInfo& phone : phones) {
        layout()->addWidget(makeRow(phone, link, revoke, now));
    }
}

QWidget* PhonesListView::makeRow(const PhoneInfo& phone, RelayLink link,
                                 const std::function<void(const PhoneInfo&)>& revoke, Timestamp now) {
    const bool settings = style_ == PhonesListStyle::settings;
    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("phoneRow"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(settings ? 0 : 4, 0, 0, 0);
    layout->setSpacing(10);

    if (settings) {
        auto* symbol = new QLabel(row);
        symbol->setFixedWidth(ui::scaled(24));
        symbol->setAlignment(Qt::AlignCenter);
        symbol->setPixmap(ui::icon(QStringLiteral("iphone"), ui::secondary(),
                                   ui::font(ui::TextStyle::title2).pixelSize(), devicePixelRatioF()));
        layout->addWidget(symbol, 0, Qt::AlignVCenter);
    }

    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    auto* name = new ui::ElidingLabel(QString::fromStdString(phone.name), row);
    name->setObjectName(QStringLiteral("phoneName"));
    name->setElideMode(Qt::ElideMiddle);
    name->setFont(ui::font(settings ? ui::TextStyle::body : ui::TextStyle::callout));
    texts->addWidget(name);
    texts->addWidget(secondaryLabel(QStringLiteral("pairedAt"),
                                    uiText("Ghép %1").arg(ui::relativeDate(phone.pairedAt, now, locale())),
                                    ui::TextStyle::caption, row));
    texts->addWidget(secondaryLabel(QStringLiteral("lastUsed"), lastUsedText(phone, now, locale()),
                                    ui::TextStyle::caption, row));
    layout->addLayout(texts);
    layout->addStretch();

    // A tool button, because a push button is never narrower than the style's minimum: a small control
    // fits its title.
    auto* button = new QToolButton(row);
    button->setObjectName(QStringLiteral("revoke"));
    button->setText(uiText("Gỡ…"));
    button->setFont(ui::font(ui::TextStyle::subheadline));
    button->setMinimumHeight(ui::scaled(removalButtonHeight));
    button->setToolTip(removalToolTip(link));
    layout->addWidget(button, 0, Qt::AlignVCenter);
    // Everything the answer needs is copied into the slot: the dialog's nested event loop may rebuild the
    // list and delete this row before the confirmer returns.
    connect(button, &QToolButton::clicked, row, [phone, link, confirm = confirm_, revoke] {
        if (confirm(phone, link)) {
            revoke(phone);
        }
    });
    return row;
}

} // namespace kestrava::app
