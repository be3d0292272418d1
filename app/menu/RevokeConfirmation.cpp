#include "app/menu/RevokeConfirmation.hpp"

#include "app/runtime/UiText.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/Typography.hpp"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace kestrava::app {

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

std::unique_ptr<QMessageBox> makeRevokeDialog(const PhoneInfo& phone, RelayLink link) {
    auto dialog = std::make_unique<QMessageBox>();
    dialog->setIcon(QMessageBox::Warning);
    dialog->setWindowModality(Qt::ApplicationModal);
    // The name comes from the phone: markup in it must show as written.
    dialog->setTextFormat(Qt::PlainText);
    dialog->setText(uiText("Gỡ “%1”?").arg(QString::fromStdString(phone.name)));
    // The question stands above its explanation, as a heading does.
    if (auto* question = dialog->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        question->setFont(ui::font(ui::TextStyle::headline));
    }
    dialog->setInformativeText(revokeConfirmationText(link));
    QPushButton* remove = dialog->addButton(uiText("Gỡ"), QMessageBox::DestructiveRole);
    // The desktop's style draws every role alike: the button that removes says so in its colour.
    remove->setStyleSheet(QStringLiteral("QPushButton { color: %1; }").arg(ui::css(ui::errorText())));
    dialog->addButton(uiText("Hủy"), QMessageBox::RejectRole);
    dialog->setDefaultButton(remove);
    return dialog;
}

bool confirmRevoke(const PhoneInfo& phone, RelayLink link) {
    const std::unique_ptr<QMessageBox> dialog = makeRevokeDialog(phone, link);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    dialog->exec();
    QAbstractButton* answer = dialog->clickedButton();
    return answer && dialog->buttonRole(answer) == QMessageBox::DestructiveRole;
}

} // namespace kestrava::app
