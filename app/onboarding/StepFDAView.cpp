#include "app/onboarding/StepFDAView.hpp"

#include "app/onboarding/PageButtons.hpp"
#include "app/onboarding/StatusLine.hpp"
#include "app/onboarding/StepHeader.hpp"
#include "app/runtime/UiText.hpp"
#include "app/system/AgentExecutable.hpp"
#include "app/system/FileManagerReveal.hpp"
#include "app/ui/TextLabel.hpp"

#include <QVBoxLayout>

namespace kestrava::app {
namespace {

void revealAgent() {
    if (const auto agent = agentExecutable()) {
        revealInFileManager(*agent);
    }
}

} // namespace

StepFDAView::StepFDAView(std::shared_ptr<OnboardingFlow> flow, QWidget* parent)
    : StepPage(std::move(flow), parent) {
    rebuild();
}

QWidget* StepFDAView::build() {
    auto* page = new QWidget(this);
    QVBoxLayout* layout = column(page, 18);
    layout->addWidget(
        new StepHeader(QStringLiteral("lock.shield"), uiText("Cấp quyền Full Disk Access"),
                       uiText("Quyền này giúp agent đọc đầy đủ trạng thái hệ thống. Quyền phải cấp "
                              "cho **Kestrava Agent**, không phải Kestrava."),
                       page));
    QVBoxLayout* body = nullptr;
    layout->addWidget(indented(page, 12, &body));
    auto* steps = new QWidget(page);
    QVBoxLayout* stepLines = column(steps, 6);
    for (const char* line : {"1. Bấm “Mở System Settings”.",
                             "2. Bấm “Hiện helper trong Finder”, rồi kéo **Kestrava Agent** vào danh sách.",
                             "3. Bật công tắc cạnh **Kestrava Agent**."}) {
        stepLines->addWidget(ui::emphasisLabel(uiText(line), ui::TextStyle::callout, steps));
    }
    body->addWidget(steps);
    // The agent runs as the user, with the user's own access: no settings page grants it more, so none is
    // offered.
    body->addWidget(
        buttonRow(page, {pageButton(uiText("Hiện helper trong Finder"), "reveal", page, revealAgent)}));
    const StepState& state = flow()->fdaState();
    if (state.is(StepState::Kind::done)) {
        body->addWidget(new StatusLine(StatusLine::Kind::ok,
                                       uiText("Kestrava Agent đã có quyền Full Disk Access"), page));
    } else if (state.is(StepState::Kind::skipped)) {
        body->addWidget(
            new StatusLine(StatusLine::Kind::neutral, uiText("Đã bỏ qua — có thể cấp quyền sau"), page));
    } else {
        body->addWidget(new StatusLine(StatusLine::Kind::waiting,
                                       uiText("Đang chờ quyền… (tự kiểm tra mỗi 2 giây)"), page));
    }
    return page;
}

} // namespace kestrava::app
