#include "app/menu/RevokeConfirmation.hpp"

#include "app/runtime/UiText.hpp"
#include "app/ui/ElidingLabel.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"
#include "app/ui/WindowSize.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrava::app {
namespace {

// As wide as the settings and pairing windows, and as far from the edge as the pairing window's content.
constexpr int dialogWidth = 460;
constexpr int margin = 24;
constexpr int symbolSize = 40;

} // namespace

RelayLink relayLinkOf(const std::optional<AgentStatus>& status) {
    if (!status) {
        return RelayLink::offline;
    }
    if (std::holds_alternative<ConnectionState::Connected>(status->connection.value)) {
        return RelayLink::connected;
    }
    const auto* error = std::get_if<ConnectionState::Error>(&status->connection.value);
    return error && error->message == configLostMessage ? RelayLink::configLost : RelayLink::offline;
}

QString revokeConfirmationText(RelayLink link) {
    const QString base = uiText("iPhone này sẽ không xem hay điều khiển được Mac nữa. Muốn dùng lại thì phải "
                                "ghép lại.");
    switch (link) {
    case RelayLink::connected:
        return base;
    case RelayLink::offline:
        return base + QStringLiteral("\n\n") +
               uiText(
                   "Mac đang không kết nối relay: iPhone được gỡ khỏi Mac ngay và sẽ gỡ khỏi relay khi kết "
                   "nối lại.");
    case RelayLink::configLost:
        return base + QStringLiteral("\n\n") +
               uiText("Agent đang mất cấu hình: iPhone chỉ gỡ trên Mac; relay sẽ không được báo.");
    }
    return base;
}

RevokeDialog::RevokeDialog(const PhoneInfo& phone, RelayLink link) {
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(20);

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    auto* symbol = new QLabel(this);
    symbol->setObjectName(QStringLiteral("warningSymbol"));
    symbol->setPixmap(ui::icon(QStringLiteral("exclamationmark.triangle.fill"), ui::orange(),
                               ui::scaled(symbolSize), devicePixelRatioF()));
    body->addWidget(symbol, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(8);
    // A name as long as two lines hold: a longer one would widen the dialog past its screen.
    auto* question = new ui::ElidingLabel(uiText("Gỡ “%1”?").arg(QString::fromStdString(phone.name)), this);
    question->setObjectName(QStringLiteral("question"));
    question->setMaximumLines(2);
    question->setFont(ui::font(ui::TextStyle::headline));
    texts->addWidget(question);
    QLabel* explanation = ui::textLabel(revokeConfirmationText(link), ui::TextStyle::body, this);
    explanation->setObjectName(QStringLiteral("explanation"));
    texts->addWidget(explanation);
    body->addLayout(texts, 1);
    layout->addLayout(body);

    auto* answers = new QHBoxLayout;
    answers->setSpacing(12);
    answers->addStretch();
    auto* remove = new QPushButton(uiText("Gỡ"), this);
    remove->setObjectName(QStringLiteral("remove"));
    // The desktop's style draws every button alike: the one that removes says so in its colour.
    remove->setStyleSheet(QStringLiteral("QPushButton { color: %1; }").arg(ui::css(ui::errorText())));
    auto* cancel = new QPushButton(uiText("Hủy"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setDefault(true);
    cancel->setFocus();
    answers->addWidget(remove);
    answers->addWidget(cancel);
    layout->addLayout(answers);
    connect(remove, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // The height its wrapped texts need at that width: a plain size hint asks each for its own width.
    const int width = ui::grownWithFont(dialogWidth);
    setFixedSize(width, layout->totalHeightForWidth(width));
}

bool confirmRevoke(const PhoneInfo& phone, RelayLink link) {
    RevokeDialog dialog(phone, link);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    return dialog.exec() == QDialog::Accepted;
}

} // namespace kestrava::app
