#include "app/menu/SettingsView.hpp"

#include "app/menu/MenuViewModel.hpp"
#include "app/menu/PhonesListView.hpp"
#include "app/runtime/UiText.hpp"
#include "app/state/PowerSettings.hpp"
#include "app/ui/BusyIndicator.hpp"
#include "app/ui/FitToScreen.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace kestrava::app {
namespace {

constexpr int formWidth = 460;
constexpr int margin = 20;

QGroupBox* section(const QString& title, const char* name, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QString::fromLatin1(name));
    // The form is as wide as this, and as high as its rows are at that width.
    box->setMinimumWidth(formWidth - 2 * margin);
    return box;
}

// A section's rows, one under the other.
QVBoxLayout* rowsOf(QGroupBox* box) {
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(10);
    return layout;
}

// A row: what it is on the left, taking the room there is, and its value at the trailing edge.
void addRow(QVBoxLayout* rows, QWidget* label, QWidget* value) {
    auto* row = new QHBoxLayout;
    row->setSpacing(16);
    row->addWidget(label, 1);
    row->addWidget(value, 0, Qt::AlignRight | Qt::AlignVCenter);
    rows->addLayout(row);
}

// A label of two lines: what a row does, and under it in smaller, dimmer text what that means.
QWidget* twoLineLabel(const QString& title, const QString& explanation, QWidget* parent) {
    auto* holder = new QWidget(parent);
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(ui::textLabel(title, ui::TextStyle::body, holder));
    layout->addWidget(ui::textLabel(explanation, ui::TextStyle::caption, holder, ui::secondary()));
    return holder;
}

// A switch on the right of its row, with its own label on the left of it.
QCheckBox* switchFor(const QString& accessibleName, const char* name, QWidget* parent) {
    auto* box = new QCheckBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(accessibleName);
    return box;
}

} // namespace

SettingsView::SettingsView(std::shared_ptr<AppState> state, std::shared_ptr<AdminRunner> runner,
                           std::function<void(const QString&)> openWindow, Confirmer confirm, QWidget* parent)
    : QWidget(parent), state_(std::move(state)), runner_(std::move(runner)),
      openWindow_(std::move(openWindow)) {
    // The form scrolls in a window no higher than its screen leaves room for.
    auto* form = new QWidget;
    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(16);

    QGroupBox* general = section(uiText("Chung"), "general", form);
    QVBoxLayout* generalRows = rowsOf(general);
    launchAtLogin_ = switchFor(uiText("Mở khi đăng nhập"), "launchAtLogin", general);
    addRow(generalRows, ui::textLabel(uiText("Mở khi đăng nhập"), ui::TextStyle::body, general),
           launchAtLogin_);
    pause_ = switchFor(MenuViewModel::pauseLabel(), "pause", general);
    addRow(generalRows,
           twoLineLabel(MenuViewModel::pauseLabel(),
                        uiText("Ngắt kết nối relay, iPhone sẽ thấy Mac đang tạm dừng. Mac vẫn không ngủ."),
                        general),
           pause_);
    agent_ = ui::textLabel({}, ui::TextStyle::body, general, ui::secondary());
    agent_->setObjectName(QStringLiteral("agent"));
    agent_->setWordWrap(false);
    addRow(generalRows, ui::textLabel(uiText("Agent"), ui::TextStyle::body, general), agent_);
    layout->addWidget(general);

    phonesSection_ = section({}, "phones", form);
    QVBoxLayout* phoneRows = rowsOf(phonesSection_);
    phones_ = new PhonesListView(PhonesListStyle::settings, std::move(confirm), phonesSection_);
    phoneRows->addWidget(phones_);
    limit_ = ui::textLabel({}, ui::TextStyle::body, phonesSection_);
    limit_->setObjectName(QStringLiteral("limit"));
    addPhone_ = new QPushButton(uiText("Thêm iPhone…"), phonesSection_);
    addPhone_->setObjectName(QStringLiteral("addPhone"));
    addRow(phoneRows, limit_, addPhone_);
    layout->addWidget(phonesSection_);

    QGroupBox* power = section(uiText("Chống ngủ"), "power", form);
    QVBoxLayout* powerRows = rowsOf(power);
    sleep_ = ui::textLabel({}, ui::TextStyle::body, power, ui::secondary());
    sleep_->setObjectName(QStringLiteral("sleep"));
    sleep_->setWordWrap(false);
    addRow(powerRows, ui::textLabel(uiText("Trạng thái"), ui::TextStyle::body, power), sleep_);
    auto* undoHolder = new QWidget(power);
    auto* undoRow = new QHBoxLayout(undoHolder);
    undoRow->setContentsMargins(0, 0, 0, 0);
    undo_ = new QPushButton(uiText("Hoàn tác…"), undoHolder);
    undo_->setObjectName(QStringLiteral("undo"));
    undoBusy_ = new ui::BusyIndicator(ui::BusyIndicator::Size::small, undoHolder);
    undoBusy_->setObjectName(QStringLiteral("undoing"));
    undoRow->addStretch();
    undoRow->addWidget(undoBusy_);
    undoRow->addWidget(undo_);
    addRow(powerRows,
           twoLineLabel(uiText("Khôi phục cài đặt nguồn"),
                        uiText("Trả lại cài đặt ngủ trước khi Kestrava thay đổi."), power),
           undoHolder);
    undoMessageLabel_ = ui::textLabel({}, ui::TextStyle::callout, power, ui::secondary());
    undoMessageLabel_->setObjectName(QStringLiteral("undoMessage"));
    powerRows->addWidget(undoMessageLabel_);
    layout->addWidget(power);

    QGroupBox* guide = section(uiText("Hướng dẫn"), "guide", form);
    auto* guideRow = new QHBoxLayout(guide);
    auto* rerun = new QPushButton(uiText("Chạy lại hướng dẫn"), guide);
    rerun->setObjectName(QStringLiteral("rerunGuide"));
    guideRow->addWidget(rerun);
    guideRow->addStretch();
    layout->addWidget(guide);
    QScrollArea* scroll = ui::verticalScrollArea(form, this);
    scroll->setObjectName(QStringLiteral("form"));
    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    window->addWidget(scroll);
    ui::keepScrollingToFit(*this, *scroll);

    // Only what the user does reaches the state: `clicked` is not emitted when a redraw sets a switch.
    connect(launchAtLogin_, &QCheckBox::clicked, this, [this](bool on) { state_->setLaunchAtLogin(on); });
    connect(pause_, &QCheckBox::clicked, this, [this](bool on) { state_->setMonitoringPaused(on); });
    connect(addPhone_, &QPushButton::clicked, this, [this] { openWindow_(QStringLiteral("pairing")); });
    connect(rerun, &QPushButton::clicked, this, [this] { openWindow_(QStringLiteral("onboarding")); });
    connect(undo_, &QPushButton::clicked, this, &SettingsView::undo);
    connect(state_.get(), &AppState::changed, this, &SettingsView::render);
    powerApplied_ = storedPowerScope(state_->defaults()).has_value();
    render();
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    powerApplied_ = storedPowerScope(state_->defaults()).has_value();
    render();
}

void SettingsView::render() {
    const MenuViewModel model =
        MenuViewModel::make(state_->status(), state_->phones(), state_->lastError(), state_->serviceStatus());
    launchAtLogin_->setChecked(state_->launchAtLogin());
    pause_->setChecked(model.isPaused);
    pause_->setEnabled(state_->status().has_value());
    agent_->setText(state_->serviceStatusText().value_or(uiText("Đang chạy")));

    phonesSection_->setTitle(uiText("iPhone đã ghép (%1)")
                                 .arg(QLocale().toString(static_cast<qlonglong>(state_->phones().size()))));
    const std::weak_ptr<AppState> weakState = state_;
    phones_->render(state_->phones(), relayLinkOf(state_->status()), [weakState](const PhoneInfo& phone) {
        if (const auto state = weakState.lock()) {
            state->revoke(phone.phoneId);
        }
    });
    limit_->setText(model.atPhoneLimit() ? uiText("Đã đủ 5 iPhone — gỡ bớt để thêm")
                                         : uiText("Tối đa 5 iPhone"));
    addPhone_->setEnabled(model.canAddPhone);

    sleep_->setText(sleepRowText(model.sleep.value_or(MenuViewModel::SleepRow::unknown)));
    undo_->setVisible(!undoing_);
    undoBusy_->setVisible(undoing_);
    undo_->setEnabled(powerApplied_);
    undo_->setToolTip(powerApplied_ ? uiText("Cần mật khẩu quản trị")
                                    : uiText("Kestrava chưa đổi cài đặt nguồn"));
    undoMessageLabel_->setVisible(undoMessage_.has_value());
    undoMessageLabel_->setText(undoMessage_.value_or(QString()));
}

void SettingsView::undo() {
    runUndo(this, state_, runner_);
}

QCoro::Task<> SettingsView::runUndo(QPointer<SettingsView> view, std::shared_ptr<AppState> state,
                                    std::shared_ptr<AdminRunner> runner) {
    view->undoing_ = true;
    view->render();
    auto undoing = undoPowerSetup(state->sharedDefaults(), std::move(runner));
    const PowerSetupResult result = co_await undoing;
    if (!view) {
        co_return;
    }
    switch (result.kind) {
    case PowerSetupResult::Kind::applied:
        view->undoMessage_ = uiText("Đã khôi phục cài đặt nguồn");
        break;
    case PowerSetupResult::Kind::failed:
        view->undoMessage_ = uiText("Không khôi phục được: ") + QString::fromStdString(result.failure);
        break;
    case PowerSetupResult::Kind::cancelled:
        view->undoMessage_.reset();
        break;
    }
    view->powerApplied_ = storedPowerScope(state->defaults()).has_value();
    view->undoing_ = false;
    view->render();
}

} // namespace kestrava::app
