#include "app/pairing/QRPanel.hpp"

#include "app/pairing/QRCodeView.hpp"
#include "app/runtime/UiText.hpp"
#include "app/ui/CardFrame.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/SelectableLine.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace kestrava::app {
namespace {

constexpr int codeSide = 320;

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
    timer->setPixmap(ui::icon(QStringLiteral("timer"), ui::secondary(), 14, devicePixelRatioF()));
    timerRow->addWidget(timer);
    countdown_ = ui::textLabel({}, ui::TextStyle::callout, this, ui::secondary());
    countdown_->setObjectName(QStringLiteral("countdown"));
    countdown_->setWordWrap(false);
    timerRow->addWidget(countdown_);
    timerRow->addStretch();
    layout->addLayout(timerRow);

    auto* linkBlock = new QWidget(this);
    linkBlock->setFixedWidth(360);
    auto* linkLayout = new QVBoxLayout(linkBlock);
    linkLayout->setContentsMargins(0, 0, 0, 0);
    linkLayout->setSpacing(6);
    linkLayout->addWidget(ui::textLabel(uiText("Không quét được? Dán liên kết này vào Kestrava trên iPhone."),
                                        ui::TextStyle::caption, linkBlock, ui::secondary()));
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
    copy_ = new QPushButton(linkBlock);
    copy_->setObjectName(QStringLiteral("copy"));
    copy_->setAutoDefault(false);
    linkRow->addWidget(copy_);
    linkLayout->addLayout(linkRow);
    layout->addWidget(linkBlock, 0, Qt::AlignHCenter);

    connect(copy_, &QPushButton::clicked, this, &QRPanel::copyLink);
    // As wide as its wider text, so that the link's field keeps its width when the text changes.
    int widest = 0;
    for (const bool copied : {true, false}) {
        renderCopyButton(copied);
        widest = std::max(widest, copy_->sizeHint().width());
    }
    copy_->setMinimumWidth(widest);
}

void QRPanel::render(const std::string& link, const QString& countdown) {
    if (link != shown_) {
        shown_ = link;
        copied_ = false;
        code_->setText(link);
        link_->setText(QString::fromStdString(link));
    }
    countdown_->setText(uiText("Mã hết hạn sau %1").arg(countdown));
    renderCopyButton(copied_);
}

void QRPanel::copyLink() {
    QGuiApplication::clipboard()->setText(QString::fromStdString(shown_));
    copied_ = true;
    renderCopyButton(copied_);
}

void QRPanel::renderCopyButton(bool copied) {
    copy_->setText(copied ? uiText("Đã sao chép") : uiText("Sao chép liên kết"));
    copy_->setIcon(QIcon(ui::icon(copied ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc"),
                                  palette().color(QPalette::ButtonText), 14, devicePixelRatioF())));
}

} // namespace kestrava::app
