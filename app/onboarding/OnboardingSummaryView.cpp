#include "app/onboarding/OnboardingSummaryView.hpp"

#include "app/onboarding/StatusLine.hpp"
#include "app/onboarding/StepHeader.hpp"
#include "app/runtime/Overloaded.hpp"
#include "app/runtime/UiText.hpp"
#include "app/ui/CardFrame.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

namespace kestrava::app {
namespace {

// A step's state as the kind of line that would tell it.
StatusLine::Kind kindOf(const StepState& state) {
    switch (state.kind) {
    case StepState::Kind::done:
        return StatusLine::Kind::ok;
    case StepState::Kind::needsApproval:
        return StatusLine::Kind::warning;
    case StepState::Kind::failed:
        return StatusLine::Kind::error;
    case StepState::Kind::pending:
    case StepState::Kind::working:
    case StepState::Kind::skipped:
        break;
    }
    return StatusLine::Kind::neutral;
}

QWidget* stepRow(OnboardingStep step, const StepState& state, QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setObjectName(QStringLiteral("step%1").arg(static_cast<int>(step)));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* symbol = new QLabel(row);
    symbol->setObjectName(QStringLiteral("symbol"));
    symbol->setPixmap(StatusLine::mark(kindOf(state), ui::font(ui::TextStyle::callout).pixelSize() + 3,
                                       row->devicePixelRatioF()));
    symbol->setFixedWidth(ui::scaled(18));
    symbol->setAlignment(Qt::AlignCenter);
    layout->addWidget(symbol);
    QLabel* title = ui::textLabel(stepTitle(step), ui::TextStyle::callout, row);
    title->setObjectName(QStringLiteral("title"));
    layout->addWidget(title, 1);
    QLabel* label = ui::textLabel(stateLabel(state), ui::TextStyle::callout, row, ui::secondary());
    label->setObjectName(QStringLiteral("state"));
    label->setWordWrap(false);
    layout->addWidget(label);
    return row;
}

QWidget* warningBox(const OnboardingWarning& warning, QWidget* parent) {
    auto* box = new ui::CardFrame(parent);
    box->setObjectName(QStringLiteral("warning"));
    QColor fill = ui::orange();
    fill.setAlphaF(0.08);
    QColor stroke = ui::orange();
    stroke.setAlphaF(0.25);
    box->setFill(fill);
    box->setStroke(stroke);
    box->setCornerRadius(8);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(10);
    auto* symbol = new QLabel(box);
    symbol->setPixmap(ui::icon(QStringLiteral("exclamationmark.triangle.fill"), ui::orange(),
                               ui::font(ui::TextStyle::title3).pixelSize() + 3, box->devicePixelRatioF()));
    row->addWidget(symbol, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    QLabel* title = ui::textLabel(warningTitle(warning), ui::TextStyle::body, box);
    title->setObjectName(QStringLiteral("title"));
    title->setFont(ui::font(ui::TextStyle::body, QFont::DemiBold));
    texts->addWidget(title);
    QLabel* detail = ui::textLabel(warningDetail(warning), ui::TextStyle::callout, box, ui::secondary());
    detail->setObjectName(QStringLiteral("detail"));
    texts->addWidget(detail);
    row->addLayout(texts, 1);
    return box;
}

} // namespace

QString stepTitle(OnboardingStep step) {
    switch (step) {
    case OnboardingStep::agent:
        return uiText("Bật agent");
    case OnboardingStep::power:
        return uiText("Chống ngủ vĩnh viễn");
    case OnboardingStep::fda:
        return uiText("Full Disk Access cho Kestrava Agent");
    case OnboardingStep::pair:
        return uiText("Ghép iPhone");
    case OnboardingStep::summary:
        break;
    }
    return uiText("Tóm tắt");
}

QString stateLabel(const StepState& state) {
    switch (state.kind) {
    case StepState::Kind::pending:
        return uiText("Chưa làm");
    case StepState::Kind::working:
        return uiText("Đang làm…");
    case StepState::Kind::done:
        return uiText("Xong");
    case StepState::Kind::skipped:
        return uiText("Đã bỏ qua");
    case StepState::Kind::needsApproval:
        return uiText("Cần duyệt");
    case StepState::Kind::failed:
        break;
    }
    return uiText("Lỗi");
}

QString warningTitle(const OnboardingWarning& warning) {
    return std::visit(Overloaded{
                          [](const RebootNeedsLogin&) {
                              return uiText("Sau khi khởi động lại, Mac cần có người đăng nhập");
                          },
                          [](const SleepEnabled&) { return uiText("Mac vẫn có thể ngủ"); },
                          [](const LaptopLid&) { return uiText("Laptop: gập nắp vẫn ngủ"); },
                      },
                      warning);
}

QString warningDetail(const OnboardingWarning& warning) {
    return std::visit(
        Overloaded{
            [](const RebootNeedsLogin& reboot) {
                return reboot.diskEncryptionOn
                           ? uiText("FileVault đang bật nên sau mỗi lần khởi động lại Mac phải được mở khoá "
                                    "bằng "
                                    "mật khẩu. Trước khi có người đăng nhập, agent chưa chạy: iPhone chỉ "
                                    "thấy Mac "
                                    "offline và không thể nhận thông báo “Mac đã khởi động lại nhưng đang "
                                    "chờ đăng "
                                    "nhập”. Kestrava không tự đổi cài đặt bảo mật của bạn.")
                           : uiText(
                                 "Tự động đăng nhập đang tắt nên sau mỗi lần khởi động lại, agent chỉ chạy "
                                 "khi "
                                 "có người đăng nhập. Trước đó iPhone chỉ thấy Mac offline và không thể nhận "
                                 "thông báo “Mac đã khởi động lại nhưng đang chờ đăng nhập”. Kestrava không "
                                 "tự "
                                 "đổi cài đặt bảo mật của bạn.");
            },
            [](const SleepEnabled& sleep) {
                return uiText("Cài đặt nguồn vẫn cho phép Mac ngủ sau %1 phút. Chạy lại hướng dẫn để áp dụng "
                              "chống ngủ.")
                    .arg(QLocale().toString(static_cast<qlonglong>(sleep.minutes)));
            },
            [](const LaptopLid&) {
                return uiText(
                    "Gập nắp sẽ làm Mac ngủ, trừ khi đang cắm sạc và nối màn hình ngoài. Hãy để mở nắp "
                    "nếu muốn Mac luôn thức.");
            },
        },
        warning);
}

OnboardingSummaryView::OnboardingSummaryView(std::shared_ptr<OnboardingFlow> flow, QWidget* parent)
    : StepPage(std::move(flow), parent) {
    rebuild();
}

QWidget* OnboardingSummaryView::build() {
    const std::vector<OnboardingWarning> warnings = flow()->warnings();
    auto* page = new QWidget(this);
    QVBoxLayout* layout = column(page, 18);
    layout->addWidget(new StepHeader(
        QStringLiteral("checkmark.seal"), uiText("Tóm tắt"),
        warnings.empty()
            ? uiText("Mọi thứ đã sẵn sàng. Kestrava sẽ giữ Mac thức và báo cho iPhone khi có sự cố.")
            : uiText("Kestrava đã sẵn sàng. Lưu ý những điểm bên dưới."),
        page));
    QVBoxLayout* rows = nullptr;
    layout->addWidget(indented(page, 5, &rows));
    for (const OnboardingStep step : workingSteps) {
        rows->addWidget(stepRow(step, flow()->state(step), page));
    }
    if (!warnings.empty()) {
        auto* boxes = new QWidget(page);
        boxes->setObjectName(QStringLiteral("warnings"));
        QVBoxLayout* boxLayout = column(boxes, 10);
        for (const OnboardingWarning& warning : warnings) {
            boxLayout->addWidget(warningBox(warning, boxes));
        }
        layout->addWidget(boxes);
    }
    return page;
}

} // namespace kestrava::app
