#include "app/onboarding/StepAgentView.hpp"

#include "app/onboarding/CommandBox.hpp"
#include "app/onboarding/PageButtons.hpp"
#include "app/onboarding/StatusLine.hpp"
#include "app/onboarding/StepHeader.hpp"
#include "app/runtime/UiText.hpp"
#include "app/state/FailureText.hpp"
#include "app/system/SystemdUserUnit.hpp"
#include "app/ui/BusyIndicator.hpp"
#include "app/ui/Buttons.hpp"
#include "app/ui/CopyButton.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/TextLabel.hpp"

#include <QVBoxLayout>

namespace kestrava::app {

StepAgentView::StepAgentView(std::shared_ptr<OnboardingFlow> flow, QWidget* parent)
    : StepPage(std::move(flow), parent) {
    rebuild();
}

QWidget* StepAgentView::build() {
    auto* page = new QWidget(this);
    QVBoxLayout* layout = column(page, 18);
    layout->addWidget(new StepHeader(QStringLiteral("bolt.shield"), uiText("Bật Kestrava Agent"),
                                     uiText("Agent chạy nền: giữ Mac thức và giữ kết nối với iPhone, kể cả "
                                            "khi bạn thoát app trên thanh menu."),
                                     page));
    QVBoxLayout* block = nullptr;
    layout->addWidget(indented(page, 10, &block));

    const std::shared_ptr<OnboardingFlow> flow = this->flow();
    const auto start = [flow] { flow->startAgent(); };
    const StepState& state = flow->agentState();
    if (flow->isRelocated()) {
        block->addWidget(new StatusLine(StatusLine::Kind::warning,
                                        uiText("Kéo Kestrava vào Applications rồi mở lại"), page,
                                        QFont::DemiBold));
        block->addWidget(ui::textLabel(
            uiText(
                "Kestrava đang chạy từ file DMG hoặc một bản tạm của macOS, nên agent không thể chạy nền."),
            ui::TextStyle::body, page, ui::secondary()));
        QPushButton* move = pageButton(uiText("Chuyển vào Applications và mở lại"), "move", page,
                                       [flow] { flow->moveToApplications(); });
        ui::makeProminent(move);
        block->addWidget(move, 0, Qt::AlignLeft);
        if (flow->moveError()) {
            block->addWidget(new StatusLine(StatusLine::Kind::error, *flow->moveError(), page));
        }
        return page;
    }
    switch (state.kind) {
    case StepState::Kind::pending:
    case StepState::Kind::skipped: {
        QPushButton* turnOn = pageButton(uiText("Bật"), "turnOn", page, start);
        ui::makeProminent(turnOn);
        ui::makeLarge(turnOn);
        block->addWidget(turnOn, 0, Qt::AlignLeft);
        break;
    }
    case StepState::Kind::working:
        block->addWidget(new StatusLine(StatusLine::Kind::waiting, uiText("Đang bật agent…"), page));
        break;
    case StepState::Kind::done:
        block->addWidget(new StatusLine(StatusLine::Kind::ok, uiText("Agent đang chạy"), page));
        break;
    case StepState::Kind::needsApproval: {
        // No settings page lifts the block here: the user runs the command, which the page hands over.
        const QString command = QString::fromStdString(SystemdUserUnit::unmaskCommand());
        block->addWidget(new StatusLine(StatusLine::Kind::warning,
                                        uiText("Cần duyệt trong Login Items", "guide"), page,
                                        QFont::DemiBold));
        block->addWidget(commandBox(command, false, "unmaskCommand", page));
        block->addWidget(ui::emphasisLabel(uiText("Trong System Settings › Cài đặt chung › Mục đăng nhập, "
                                                  "bật **Kestrava** trong phần “Cho phép chạy "
                                                  "nền”. Bước này tự đánh dấu xong khi agent chạy."),
                                           ui::TextStyle::body, page, ui::secondary()));
        auto* copy = new ui::CopyButton(uiText("Mở Login Items"));
        copy->setObjectName(QStringLiteral("copyCommand"));
        copy->setContent(command);
        block->addWidget(buttonRow(page, {copy, new ui::BusyIndicator(ui::BusyIndicator::Size::small),
                                          ui::textLabel(uiText("Đang chờ duyệt…"), ui::TextStyle::callout,
                                                        nullptr, ui::secondary())}));
        break;
    }
    case StepState::Kind::failed: {
        // The failure's own message says what went wrong; there is no settings page to send the user to.
        // The system's words, where it gave them, stand apart for the user to copy into a search.
        const FailureText failure = FailureText::of(state.failure);
        block->addWidget(new StatusLine(StatusLine::Kind::error,
                                        uiText("Không bật được agent: ") + failure.sentence, page));
        if (failure.systemWords) {
            block->addWidget(commandBox(*failure.systemWords, true, "systemWords", page));
        }
        block->addWidget(buttonRow(page, {pageButton(uiText("Thử lại"), "retry", page, start)}));
        break;
    }
    }
    return page;
}

} // namespace kestrava::app
