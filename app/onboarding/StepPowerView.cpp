#include "app/onboarding/StepPowerView.hpp"

#include "app/onboarding/CommandBox.hpp"
#include "app/onboarding/PageButtons.hpp"
#include "app/onboarding/StatusLine.hpp"
#include "app/onboarding/StepHeader.hpp"
#include "app/runtime/UiText.hpp"
#include "app/system/PowerCommands.hpp"
#include "app/ui/Buttons.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"

#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

namespace kestrava::app {
namespace {

QString currentSetting(std::int64_t minutes) {
    if (minutes == 0) {
        return uiText("Hiện tại: Mac không bao giờ ngủ");
    }
    if (minutes < 0) {
        return uiText("Hiện tại: không rõ");
    }
    return uiText("Hiện tại: Mac ngủ sau %1 phút").arg(QLocale().toString(static_cast<qlonglong>(minutes)));
}

} // namespace

StepPowerView::StepPowerView(std::shared_ptr<OnboardingFlow> flow, QWidget* parent)
    : StepPage(std::move(flow), parent) {
    rebuild();
}

QWidget* StepPowerView::build() {
    const std::shared_ptr<OnboardingFlow> flow = this->flow();
    const bool laptop = flow->facts() && flow->facts()->isLaptop;
    auto* page = new QWidget(this);
    QVBoxLayout* layout = column(page, 18);
    layout->addWidget(new StepHeader(
        QStringLiteral("moon.zzz"), uiText("Chống ngủ vĩnh viễn (khuyến nghị)"),
        laptop
            ? uiText(
                  "Kestrava chạy một lệnh pmset (hỏi mật khẩu quản trị một lần) để Mac không ngủ, tự bật lại "
                  "sau mất điện và thức khi có mạng. Trên laptop chỉ áp dụng khi cắm sạc.")
            : uiText(
                  "Kestrava chạy một lệnh pmset (hỏi mật khẩu quản trị một lần) để Mac không ngủ, tự bật lại "
                  "sau mất điện và thức khi có mạng."),
        page));
    QVBoxLayout* body = nullptr;
    layout->addWidget(indented(page, 12, &body));
    body->addWidget(
        commandBox(QString::fromStdString(powerApplyCommand()).remove(QStringLiteral("/usr/bin/")), true,
                   "command", page));
    QLabel* current = ui::textLabel(currentSetting(flow->pmsetSleep()), ui::TextStyle::callout, page);
    current->setObjectName(QStringLiteral("current"));
    body->addWidget(current);

    const auto apply = [flow] { flow->applyPower(); };
    const StepState& state = flow->powerState();
    switch (state.kind) {
    case StepState::Kind::pending:
    case StepState::Kind::needsApproval: {
        QPushButton* button = pageButton(uiText("Áp dụng"), "apply", page, apply);
        ui::makeProminent(button);
        ui::makeLarge(button);
        body->addWidget(button, 0, Qt::AlignLeft);
        break;
    }
    case StepState::Kind::working:
        body->addWidget(
            new StatusLine(StatusLine::Kind::waiting, uiText("Đang chờ mật khẩu quản trị…"), page));
        break;
    case StepState::Kind::done:
        body->addWidget(new StatusLine(StatusLine::Kind::ok, uiText("Đã áp dụng"), page));
        break;
    case StepState::Kind::skipped:
        body->addWidget(
            new StatusLine(StatusLine::Kind::warning, uiText("Đã bỏ qua — máy vẫn có thể ngủ"), page));
        body->addWidget(pageButton(uiText("Áp dụng"), "apply", page, apply), 0, Qt::AlignLeft);
        break;
    case StepState::Kind::failed:
        body->addWidget(
            new StatusLine(StatusLine::Kind::error, uiText("Không áp dụng được: ") + state.failure, page));
        body->addWidget(pageButton(uiText("Thử lại"), "retry", page, apply), 0, Qt::AlignLeft);
        break;
    }
    body->addWidget(
        ui::textLabel(uiText("Không cài dịch vụ chạy quyền root thường trú. Có thể hoàn tác trong Cài đặt."),
                      ui::TextStyle::caption, page, ui::secondary()));
    return page;
}

} // namespace kestrava::app
