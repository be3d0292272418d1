#include "app/pairing/ApproveSheet.hpp"

#include "app/runtime/UiText.hpp"
#include "app/ui/BusyIndicator.hpp"
#include "app/ui/Buttons.hpp"
#include "app/ui/ElidingLabel.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"
#include "app/ui/WindowSize.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <cmath>

namespace kestrava::app {
namespace {

constexpr int approvalSeconds = static_cast<int>(ApproveViewModel::approvalWindow.count());

QLabel* centredLabel(QWidget* parent) {
    QLabel* label = ui::textLabel({}, ui::TextStyle::body, parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// A button of at least 110 points whose label gives way to a spinner while its answer is on its way.
QPushButton* answerButton(const QString& text, ui::BusyIndicator*& spinner, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setMinimumWidth(ui::grownWithFont(110));
    ui::makeLarge(button);
    spinner = new ui::BusyIndicator(ui::BusyIndicator::Size::small, button);
    spinner->hide();
    auto* centre = new QHBoxLayout(button);
    centre->setContentsMargins(0, 0, 0, 0);
    centre->addWidget(spinner, 0, Qt::AlignCenter);
    return button;
}

void showSpinner(QPushButton* button, ui::BusyIndicator* spinner, const QString& text, bool spinning) {
    button->setText(spinning ? QString() : text);
    spinner->setVisible(spinning);
}

} // namespace

ApproveSheet::ApproveSheet(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("approveSheet"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);

    auto* symbol = new QLabel(this);
    symbol->setAlignment(Qt::AlignCenter);
    symbol->setPixmap(ui::icon(QStringLiteral("iphone.gen3.radiowaves.left.and.right"), ui::accent(),
                               ui::scaled(40), devicePixelRatioF()));
    layout->addWidget(symbol);

    auto* heading = new QVBoxLayout;
    heading->setSpacing(6);
    auto* title = centredLabel(this);
    title->setText(uiText("Yêu cầu ghép iPhone"));
    title->setFont(ui::font(ui::TextStyle::title2, QFont::DemiBold));
    heading->addWidget(title);
    requestLine_ = new ui::ElidingLabel({}, this);
    requestLine_->setObjectName(QStringLiteral("requestLine"));
    requestLine_->setMaximumLines(2);
    requestLine_->setAlignment(Qt::AlignHCenter);
    heading->addWidget(requestLine_);
    layout->addLayout(heading);

    auto* codeBlock = new QVBoxLayout;
    codeBlock->setSpacing(8);
    code_ = new QLabel(this);
    code_->setObjectName(QStringLiteral("code"));
    code_->setTextFormat(Qt::PlainText);
    code_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont codeFont = ui::monospaced(ui::sized(52, QFont::DemiBold));
    codeFont.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    code_->setFont(codeFont);
    code_->setContentsMargins(28, 10, 28, 10);
    code_->setStyleSheet(QStringLiteral("QLabel#code { background: %1; border-radius: 12px; }")
                             .arg(ui::css(QColor(ui::secondary().red(), ui::secondary().green(),
                                                 ui::secondary().blue(), 26))));
    codeBlock->addWidget(code_, 0, Qt::AlignHCenter);
    auto* compare = centredLabel(this);
    compare->setText(uiText("Chỉ cho phép khi mã này giống hệt mã trên iPhone."));
    compare->setFont(ui::font(ui::TextStyle::callout));
    compare->setStyleSheet(QStringLiteral("color: %1;").arg(ui::css(ui::secondary())));
    codeBlock->addWidget(compare);
    layout->addLayout(codeBlock);

    auto* timeBlock = new QWidget(this);
    timeBlock->setFixedWidth(ui::grownWithFont(280));
    auto* timeLayout = new QVBoxLayout(timeBlock);
    timeLayout->setContentsMargins(0, 0, 0, 0);
    timeLayout->setSpacing(4);
    bar_ = new QProgressBar(timeBlock);
    bar_->setObjectName(QStringLiteral("countdownBar"));
    bar_->setRange(0, approvalSeconds);
    bar_->setTextVisible(false);
    bar_->setFixedHeight(6);
    timeLayout->addWidget(bar_);
    secondsLeft_ = centredLabel(timeBlock);
    secondsLeft_->setObjectName(QStringLiteral("secondsLeft"));
    secondsLeft_->setFont(ui::font(ui::TextStyle::caption));
    timeLayout->addWidget(secondsLeft_);
    layout->addWidget(timeBlock, 0, Qt::AlignHCenter);

    auto* answers = new QHBoxLayout;
    answers->setSpacing(12);
    answers->addStretch();
    deny_ = answerButton(uiText("Từ chối"), denying_, this);
    deny_->setObjectName(QStringLiteral("deny"));
    allow_ = answerButton(uiText("Cho phép"), allowing_, this);
    allow_->setObjectName(QStringLiteral("allow"));
    allow_->setAutoDefault(false);
    deny_->setAutoDefault(false);
    ui::makeProminent(allow_);
    answers->addWidget(deny_);
    answers->addWidget(allow_);
    answers->addStretch();
    layout->addLayout(answers);

    connect(deny_, &QPushButton::clicked, this, [this] { emit decided(false); });
    connect(allow_, &QPushButton::clicked, this, [this] { emit decided(true); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        if (isVisible() && deny_->isEnabled()) {
            deny_->click();
        }
    });
}

long long ApproveSheet::remainingSeconds(Timestamp deadline, Timestamp now) {
    return static_cast<long long>(std::ceil(std::chrono::duration<double>(deadline - now).count()));
}

void ApproveSheet::render(const ApproveViewModel& card, Timestamp now, std::optional<bool> deciding) {
    // One text with the quotes, so a translation can place the name; the name itself stays plain.
    requestLine_->setText(uiText("“%1” muốn theo dõi và điều khiển Mac này.").arg(card.phoneName));
    code_->setText(card.sas);
    QString spoken;
    for (const QChar c : card.sas) {
        if (!c.isSpace()) {
            spoken += (spoken.isEmpty() ? QString() : QStringLiteral(" ")) + c;
        }
    }
    code_->setAccessibleName(spoken);

    const long long remaining = remainingSeconds(card.deadline, now);
    const long long shown = std::max(0LL, remaining);
    const QColor tint = isRunningOut(remaining) ? ui::orange() : ui::accent();
    bar_->setValue(static_cast<int>(std::min<long long>(shown, approvalSeconds)));
    bar_->setStyleSheet(QStringLiteral("QProgressBar { border: none; border-radius: 3px; background: %1; }"
                                       "QProgressBar::chunk { border-radius: 3px; background: %2; }")
                            .arg(ui::css(ui::tertiary()), ui::css(tint)));
    secondsLeft_->setText(uiText("Còn %1 giây để xác nhận").arg(shown));
    secondsLeft_->setStyleSheet(
        QStringLiteral("color: %1;")
            .arg(ui::css(isRunningOut(remaining) ? ui::warningText() : ui::secondary())));
    secondsLeft_->setProperty("runningOut", isRunningOut(remaining));

    const bool inFlight = deciding.has_value();
    deny_->setEnabled(!inFlight);
    allow_->setEnabled(!inFlight);
    showSpinner(deny_, denying_, uiText("Từ chối"), deciding == false);
    showSpinner(allow_, allowing_, uiText("Cho phép"), deciding == true);
}

} // namespace kestrava::app
