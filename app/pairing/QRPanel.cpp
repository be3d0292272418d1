#include "app/pairing/QRPanel.hpp"

#include "app/pairing/QRCodeView.hpp"
#include "app/runtime/UiText.hpp"
#include "app/ui/CardFrame.hpp"
#include "app/ui/CopyButton.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/SelectableLine.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"
#include "app/ui/WindowSize.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kestrava::app {
namespace {

// The code is a picture to scan, not text: its size does not follow the font.
constexpr int codeSide = 320;
constexpr int linkBlockWidth = 360;

} // namespace

QRPanel::QRPanel(bool showsTitle, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("qrPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(14);

    if (showsTitle) {
        auto* heading = new QVBoxLayout;
        heading->setSpacing(4);
        auto* title = new QLabel(uiText("Thêm iPhone"), this);
        title->setObjectName(QStringLiteral("qrTitle"));
        title->setAlignment(Qt::AlignCenter);
        title->setFont(ui::font(ui::TextStyle::title2, QFont::DemiBold));
        heading->addWidget(title);
        auto* instruction = ui::textLabel(uiText("Trên iPhone, mở Kestrava › Thêm Mac và quét mã này."),
                                          ui::TextStyle::body, this, ui::secondary());
        instruction->setAlignment(Qt::AlignCenter);
        heading->addWidget(instruction);
        layout->addLayout(heading);
    }

    code_ = new QRCodeView(codeSide, this);
    layout->addWidget(code_, 0, Qt::AlignHCenter);

    auto* timerRow = new QHBoxLayout;
    timerRow->setSpacing(6);
    timerRow->addStretch();
    auto* timer = new QLabel(this);
    timer->setPixmap(ui::icon(QStringLiteral("timer"), ui::secondary(), ui::scaled(14), devicePixelRatioF()));
    timerRow->addWidget(timer);
    countdown_ = ui::textLabel({}, ui::TextStyle::callout, this, ui::secondary());
    countdown_->setObjectName(QStringLiteral("countdown"));
    countdown_->setWordWrap(false);
    timerRow->addWidget(countdown_);
    timerRow->addStretch();
    layout->addLayout(timerRow);

    auto* linkBlock = new QWidget(this);
    linkBlock->setFixedWidth(ui::grownWithFont(linkBlockWidth));
    auto* linkLayout = new QVBoxLayout(linkBlock);
    linkLayout->setContentsMargins(0, 0, 0, 0);
    linkLayout->setSpacing(6);
    QLabel* hint = ui::textLabel(uiText("Không quét được? Dán liên kết này vào Kestrava trên iPhone."),
                                 ui::TextStyle::caption, linkBlock, ui::secondary());
    // Measured at the block's width, not at the panel's.
    hint->setMaximumWidth(ui::grownWithFont(linkBlockWidth));
    linkLayout->addWidget(hint);
    auto* linkRow = new QHBoxLayout;
    linkRow->setSpacing(8);
    auto* field = new ui::CardFrame(linkBlock);
    field->setFill(palette().color(QPalette::Base));
    field->setStroke(ui::tertiary());
    field->setCornerRadius(5);
    auto* fieldLayout = new QHBoxLayout(field);
    fieldLayout->setContentsMargins(6, 3, 6, 3);
    link_ = new ui::SelectableLine(field);
    link_->setObjectName(QStringLiteral("link"));
    link_->setFont(ui::monospaced(ui::font(ui::TextStyle::caption)));
    link_->setAccessibleName(uiText("Liên kết ghép"));
    fieldLayout->addWidget(link_);
    linkRow->addWidget(field, 1);
    copy_ = new ui::CopyButton(uiText("Sao chép liên kết"), linkBlock);
    copy_->setObjectName(QStringLiteral("copy"));
    linkRow->addWidget(copy_);
    linkLayout->addLayout(linkRow);
    layout->addWidget(linkBlock, 0, Qt::AlignHCenter);
}

void QRPanel::render(const std::string& link, const QString& countdown) {
    const QString text = QString::fromStdString(link);
    if (text != copy_->content()) {
        code_->setText(link);
        link_->setText(text);
        copy_->setContent(text);
    }
    countdown_->setText(uiText("Mã hết hạn sau %1").arg(countdown));
}

} // namespace kestrava::app
