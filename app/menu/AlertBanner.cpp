#include "app/menu/AlertBanner.hpp"

#include "app/runtime/UiText.hpp"
#include "app/state/FailureText.hpp"
#include "app/ui/Buttons.hpp"
#include "app/ui/CardFrame.hpp"
#include "app/ui/ElidingLabel.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/SelectableLine.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrava::app {
namespace {

QString actionLabel(MenuAction action) {
    switch (action) {
    case MenuAction::reregister:
        return uiText("Đăng ký lại Mac này");
    case MenuAction::restartAgent:
        return uiText("Khởi động lại agent");
    case MenuAction::enableAgent:
        return uiText("Bật agent");
    }
    return {};
}

// The agent's own words, or the last error's, shown as written.
std::optional<QString> messageOf(const MenuViewModel::Alert& alert) {
    if (const auto* error = std::get_if<MenuViewModel::Alert::Error>(&alert.value)) {
        return QString::fromStdString(error->message);
    }
    if (const auto* unreachable = std::get_if<MenuViewModel::Alert::Unreachable>(&alert.value)) {
        return unreachable->message;
    }
    return std::nullopt;
}

} // namespace

AlertBanner::AlertBanner(const MenuViewModel::Alert& alert, std::function<void(MenuAction)> perform,
                         QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("alert"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* card = new ui::CardFrame(this);
    QColor fill = ui::red();
    fill.setAlphaF(0.1);
    QColor stroke = ui::red();
    stroke.setAlphaF(0.25);
    card->setFill(fill);
    card->setStroke(stroke);
    card->setCornerRadius(8);
    outer->addWidget(card);

    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(6);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    auto* symbol = new QLabel(card);
    symbol->setPixmap(ui::icon(QStringLiteral("exclamationmark.octagon.fill"), ui::red(), ui::scaled(16),
                               devicePixelRatioF()));
    titleRow->addWidget(symbol, 0, Qt::AlignTop);
    auto* title = ui::textLabel(alert.title(), ui::TextStyle::body, card);
    title->setObjectName(QStringLiteral("alertTitle"));
    title->setFont(ui::font(ui::TextStyle::body, QFont::DemiBold));
    titleRow->addWidget(title, 1);
    layout->addLayout(titleRow);
    if (const auto detail = alert.detail()) {
        auto* label = ui::textLabel(*detail, ui::TextStyle::callout, card, ui::secondary());
        label->setObjectName(QStringLiteral("alertDetail"));
        layout->addWidget(label);
    }
    if (const auto message = messageOf(alert)) {
        const FailureText failure = FailureText::of(*message);
        const QString colour = QStringLiteral("color: %1;").arg(ui::css(ui::secondary()));
        const QFont font = ui::monospaced(ui::font(ui::TextStyle::caption));
        // Held to two lines, so that a long error cannot crowd out the repair; the whole of it is in the
        // tooltip.
        auto* label = new ui::ElidingLabel(failure.sentence, card);
        label->setObjectName(QStringLiteral("alertMessage"));
        label->setMaximumLines(2);
        label->setFullTextToolTip(true);
        // The message as the system wrote it is monospaced; our own sentence for it reads as text.
        label->setFont(failure.systemWords ? ui::font(ui::TextStyle::caption) : font);
        label->setStyleSheet(colour);
        layout->addWidget(label);
        if (failure.systemWords) {
            // One line, for the same reason; a selection takes in what the ellipsis hides, so the words
            // copy whole into a search.
            auto* words = new ui::SelectableLine(card);
            words->setObjectName(QStringLiteral("alertSystemWords"));
            words->setText(*failure.systemWords);
            words->setToolTip(*failure.systemWords);
            words->setFont(font);
            words->setStyleSheet(colour);
            layout->addWidget(words);
        }
    }
    if (const auto action = alert.action()) {
        auto* button = new QPushButton(actionLabel(*action), card);
        button->setObjectName(QStringLiteral("alertAction"));
        ui::makeProminent(button, ui::destructive());
        connect(button, &QPushButton::clicked, this, [perform, action = *action] { perform(action); });
        layout->addWidget(button, 0, Qt::AlignLeft);
    }
}

} // namespace kestrava::app
