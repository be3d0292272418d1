#include "app/menu/MenuView.hpp"

#include "app/menu/AlertBanner.hpp"
#include "app/menu/MenuRow.hpp"
#include "app/menu/MenuViewModel.hpp"
#include "app/menu/PhonesListView.hpp"
#include "app/menu/StatusImage.hpp"
#include "app/runtime/UiText.hpp"
#include "app/ui/Discard.hpp"
#include "app/ui/Divider.hpp"
#include "app/ui/FitToScreen.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"
#include "app/ui/WindowSize.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QScrollArea>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace kestrava::app {
namespace {

constexpr int panelWidth = 320;
// Two marks of 14 pixels at the 13 px body text, 4 apart.
constexpr int disclosureMarkSide = 14;
constexpr int disclosureMarksGap = 4;

QSize disclosureIconSize() {
    const int side = ui::scaled(disclosureMarkSide);
    return {2 * side + disclosureMarksGap, side};
}

// The panel's dividers stop short of its edges.
QFrame* divider(QWidget* parent) {
    QFrame* line = ui::divider(parent);
    line->setContentsMargins(10, 0, 10, 0);
    return line;
}

// A line with a symbol in its colour and a text, as the menu's notices are drawn.
QWidget* notice(const QString& symbol, const QColor& symbolColour, const QString& text,
                const QColor& textColour, const char* name, QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setObjectName(QLatin1String(name));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(14, 0, 14, 8);
    layout->setSpacing(6);
    auto* icon = new QLabel(row);
    icon->setPixmap(ui::icon(symbol, symbolColour, ui::scaled(14), row->devicePixelRatioF()));
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addWidget(ui::textLabel(text, ui::TextStyle::callout, row, textColour), 1);
    return row;
}

// The phones group's disclosure mark beside its phone: one icon, since a tool button's arrow would take
// the icon's place.
QIcon disclosureIcon(bool open, qreal devicePixelRatio) {
    const QSize size = disclosureIconSize();
    QPixmap both(size * devicePixelRatio);
    both.setDevicePixelRatio(devicePixelRatio);
    both.fill(Qt::transparent);
    QPainter painter(&both);
    const int side = size.height();
    painter.drawPixmap(0, 0,
                       ui::icon(open ? QStringLiteral("chevron.down") : QStringLiteral("chevron.right"),
                                ui::secondary(), side, devicePixelRatio));
    painter.drawPixmap(size.width() - side, 0,
                       ui::icon(QStringLiteral("iphone"), ui::secondary(), side, devicePixelRatio));
    return QIcon(both);
}

} // namespace

MenuView::MenuView(std::shared_ptr<AppState> state, Updater& updater,
                   std::function<void(const QString&)> openWindow, std::function<void()> dismiss,
                   Confirmer confirm, QWidget* parent)
    : QWidget(parent), state_(std::move(state)), updater_(updater), openWindow_(std::move(openWindow)),
      dismiss_(std::move(dismiss)) {
    setObjectName(QStringLiteral("menu"));
    setFixedWidth(ui::grownWithFont(panelWidth));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(14, 12, 14, 10);
    header->setSpacing(10);
    shield_ = new QLabel(this);
    shield_->setObjectName(QStringLiteral("shield"));
    header->addWidget(shield_, 0, Qt::AlignTop);
    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    name_ = ui::textLabel({}, ui::TextStyle::headline, this, palette().color(QPalette::WindowText));
    name_->setObjectName(QStringLiteral("macName"));
    names->addWidget(name_);
    headerTitle_ = ui::textLabel({}, ui::TextStyle::subheadline, this, ui::secondary());
    headerTitle_->setObjectName(QStringLiteral("headerTitle"));
    names->addWidget(headerTitle_);
    updated_ = ui::textLabel({}, ui::TextStyle::caption, this, ui::secondary());
    names->addWidget(updated_);
    header->addLayout(names, 1);
    layout->addLayout(header);

    notices_ = new QVBoxLayout;
    notices_->setSpacing(0);
    layout->addLayout(notices_);
    layout->addWidget(divider(this));

    auto* phones = new QVBoxLayout;
    phones->setContentsMargins(0, 4, 0, 4);
    phones->setSpacing(0);
    addPhone_ = new MenuRow(uiText("Thêm iPhone…"), {}, QStringLiteral("plus.circle"), this);
    addPhone_->setObjectName(QStringLiteral("addPhone"));
    connect(addPhone_, &MenuRow::clicked, this, [this] { openWindow_(QStringLiteral("pairing")); });
    phones->addWidget(addPhone_);
    limit_ = ui::textLabel(uiText("Đã đủ 5 iPhone — gỡ bớt để thêm"), ui::TextStyle::caption, this,
                           ui::secondary());
    limit_->setObjectName(QStringLiteral("phoneLimit"));
    limit_->setContentsMargins(40, 0, 0, 2);
    phones->addWidget(limit_);
    phonesToggle_ = new QToolButton(this);
    phonesToggle_->setObjectName(QStringLiteral("phonesToggle"));
    phonesToggle_->setCheckable(true);
    phonesToggle_->setChecked(true);
    phonesToggle_->setAutoRaise(true);
    phonesToggle_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    phonesToggle_->setIconSize(disclosureIconSize());
    phonesToggle_->setFont(ui::font(ui::TextStyle::callout));
    phonesToggle_->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 2px 0; }"));
    auto* toggleRow = new QHBoxLayout;
    toggleRow->setContentsMargins(14, 4, 14, 0);
    toggleRow->addWidget(phonesToggle_);
    toggleRow->addStretch();
    phones->addLayout(toggleRow);
    phones_ = new PhonesListView(PhonesListStyle::menu, std::move(confirm));
    phones_->setContentsMargins(14, 4, 14, 4);
    phonesScroll_ = ui::verticalScrollArea(phones_, this);
    phonesScroll_->setObjectName(QStringLiteral("phonesScroll"));
    phonesScroll_->setFixedHeight(0); // until it is fitted
    phones_->installEventFilter(this);
    phones->addWidget(phonesScroll_);
    connect(phonesToggle_, &QToolButton::toggled, this, &MenuView::render);
    layout->addLayout(phones);

    pauseRow_ = new QWidget(this);
    auto* pauseLayout = new QHBoxLayout(pauseRow_);
    pauseLayout->setContentsMargins(14, 6, 14, 6);
    // In the palette's colour, which greys it with the switch while there is no status.
    pauseLayout->addWidget(ui::textLabel(MenuViewModel::pauseLabel(), ui::TextStyle::body, pauseRow_), 1);
    pause_ = new QCheckBox(pauseRow_);
    pause_->setObjectName(QStringLiteral("pause"));
    pause_->setAccessibleName(MenuViewModel::pauseLabel());
    pauseLayout->addWidget(pause_);
    connect(pause_, &QCheckBox::clicked, this,
            [state = state_](bool paused) { state->setMonitoringPaused(paused); });
    layout->addWidget(pauseRow_);
    layout->addWidget(divider(this));

    auto* commands = new QVBoxLayout;
    commands->setContentsMargins(0, 4, 0, 4);
    commands->setSpacing(0);
    auto* update = new MenuRow(uiText("Kiểm tra cập nhật…"), {}, QStringLiteral("arrow.down.circle"), this);
    update->setObjectName(QStringLiteral("checkForUpdates"));
    update->setEnabled(updater_.canCheckForUpdates());
    connect(update, &MenuRow::clicked, this, [this] {
        dismiss_();
        updater_.checkForUpdates();
    });
    commands->addWidget(update);
    const auto windowRow = [&](const char* title, const char* symbol, const char* window) {
        auto* row = new MenuRow(uiText(title), {}, QString::fromLatin1(symbol), this);
        connect(row, &MenuRow::clicked, this, [this, id = QString::fromLatin1(window)] { openWindow_(id); });
        commands->addWidget(row);
        return row;
    };
    auto* settings = windowRow("Cài đặt…", "gearshape", "settings");
    windowRow("Chạy lại hướng dẫn", "list.number", "onboarding");
    windowRow("Giới thiệu Kestrava", "info.circle", "about");
    layout->addLayout(commands);
    layout->addWidget(divider(this));

    auto* quit =
        new MenuRow(uiText("Thoát Kestrava"), uiText("Agent vẫn chạy nền"), QStringLiteral("power"), this);
    quit->setObjectName(QStringLiteral("quit"));
    quit->setToolTip(uiText("Chỉ đóng giao diện. Agent vẫn chạy nền và vẫn giám sát."));
    connect(quit, &MenuRow::clicked, qApp, &QApplication::quit);
    auto* quitBox = new QVBoxLayout;
    quitBox->setContentsMargins(0, 4, 0, 4);
    quitBox->addWidget(quit);
    layout->addLayout(quitBox);

    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, qApp,
            &QApplication::quit);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma), this), &QShortcut::activated, settings,
            &MenuRow::click);
    connect(state_.get(), &AppState::changed, this, &MenuView::render);
    render();
    ui::keepFitting(*this, [this] { fitToScreen(); });
}

void MenuView::render() {
    const MenuViewModel model =
        MenuViewModel::make(state_->status(), state_->phones(), state_->lastError(), state_->serviceStatus());

    shield_->setPixmap(
        ui::icon(statusSymbol(model.icon), statusColour(model.icon), ui::scaled(26), devicePixelRatioF()));
    shield_->setAccessibleName(spokenText(model.icon));
    name_->setText(model.macName ? QString::fromStdString(*model.macName) : QStringLiteral("Kestrava"));
    headerTitle_->setText(model.header.title());
    if (const auto& updated = state_->lastUpdated()) {
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(millisecondsSince1970(*updated));
        updated_->setText(
            uiText("Cập nhật lần cuối: %1").arg(QLocale().toString(at.time(), QLocale::ShortFormat)));
    }
    updated_->setVisible(state_->lastUpdated().has_value());

    while (QLayoutItem* item = notices_->takeAt(0)) {
        // The alert's button may be in the middle of its click: a repair that fails at once redraws.
        ui::discardLater(item->widget());
        delete item;
    }
    if (model.alert) {
        auto* banner = new AlertBanner(*model.alert, [state = state_](MenuAction action) {
            switch (action) {
            case MenuAction::reregister:
                state->reregister();
                break;
            case MenuAction::restartAgent:
                state->restartAgent();
                break;
            case MenuAction::enableAgent:
                state->enableAgent();
                break;
            }
        });
        auto* box = new QWidget(this);
        auto* boxLayout = new QVBoxLayout(box);
        boxLayout->setContentsMargins(10, 0, 10, 8);
        boxLayout->addWidget(banner);
        notices_->addWidget(box);
    }
    if (const auto& failed = state_->actionError()) {
        notices_->addWidget(notice(QStringLiteral("xmark.octagon"), ui::red(), *failed, ui::errorText(),
                                   "actionError", this));
    }
    if (!model.alert) {
        if (const auto service = state_->serviceStatusText()) {
            notices_->addWidget(notice(QStringLiteral("exclamationmark.circle"), ui::orange(), *service,
                                       ui::warningText(), "serviceStatus", this));
        }
    }
    if (model.sleep) {
        notices_->addWidget(notice(sleepRowSymbol(*model.sleep), sleepRowColour(*model.sleep),
                                   sleepRowText(*model.sleep), palette().color(QPalette::WindowText), "sleep",
                                   this));
    }

    addPhone_->setEnabled(model.canAddPhone);
    limit_->setVisible(model.atPhoneLimit());
    const bool anyPhone = !state_->phones().empty();
    phonesToggle_->setVisible(anyPhone);
    phonesToggle_->setText(
        uiText("iPhone đã ghép (%1)").arg(QLocale().toString(static_cast<qlonglong>(model.phoneCount))));
    phonesToggle_->setIcon(disclosureIcon(phonesToggle_->isChecked(), devicePixelRatioF()));
    phonesScroll_->setVisible(!anyPhone || phonesToggle_->isChecked());
    phones_->render(state_->phones(), anyPhone ? relayLinkOf(state_->status()) : RelayLink::connected,
                    [state = state_](const PhoneInfo& phone) { state->revoke(phone.phoneId); });

    pause_->setChecked(model.isPaused);
    pauseRow_->setEnabled(state_->status().has_value());
}

bool MenuView::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // Laid out again by now: a notice came or went, a text wrapped anew.
    if (event->type() == QEvent::LayoutRequest) {
        fitToScreen();
    }
    return handled;
}

bool MenuView::eventFilter(QObject* watched, QEvent* event) {
    // Rows added while the panel is open count once they are shown, which is later.
    if (watched == phones_ && event->type() == QEvent::LayoutRequest) {
        fitToScreen();
    }
    return QWidget::eventFilter(watched, event);
}

// The phones are listed whole unless the panel would then be higher than its screen leaves room for: then
// the list is as much lower as that takes, keeping about a phone's row, and scrolls, so that the commands
// below it stay in view. The rest of the panel's height is what its layout holds now, which is fresh once
// the panel has been laid out.
void MenuView::fitToScreen() {
    if (phonesScroll_->isHidden()) {
        return;
    }
    const int whole = phones_->sizeHint().height();
    const int rest = ui::heightAtWidth(*layout(), width()) - phonesScroll_->maximumHeight();
    const int room = ui::roomOnScreen(*window()).height() - rest;
    const int row = whole / std::max<int>(1, int(state_->phones().size()));
    phonesScroll_->setFixedHeight(whole <= room ? whole : std::max(room, row));
}

} // namespace kestrava::app
