#include "app/menu/AboutView.hpp"

#include "agent-core/runtime/AgentEnvironment.hpp"
#include "app/menu/ProjectPages.hpp"
#include "app/runtime/UiText.hpp"
#include "app/ui/ApplicationIcon.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"
#include "app/ui/WindowSize.hpp"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kestrava::app {
namespace {

QString textOr(const std::optional<json::Object>& info, const char* key, const char* fallback) {
    const json::Value* value = info ? info->find(key) : nullptr;
    const std::string* text = value ? value->asString() : nullptr;
    return text ? QString::fromStdString(*text) : QString::fromLatin1(fallback);
}

QLabel* selectable(const QString& text, const char* name, QWidget* parent) {
    QLabel* label = ui::textLabel(text, ui::TextStyle::callout, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(false);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

QLabel* link(const QString& text, const QUrl& target, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    label->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(target.toString(), text.toHtmlEscaped()));
    label->setOpenExternalLinks(true);
    label->setFont(ui::font(ui::TextStyle::callout));
    return label;
}

} // namespace

QString appVersionText() {
    return appVersionText(mainBundleInfo());
}

QString appVersionText(const std::optional<json::Object>& info) {
    return QStringLiteral("%1 (%2)").arg(textOr(info, "CFBundleShortVersionString", "?"),
                                         textOr(info, "CFBundleVersion", "?"));
}

AboutView::AboutView(std::shared_ptr<AppState> state, QWidget* parent)
    : QWidget(parent), state_(std::move(state)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 28, 28, 28);
    layout->setSpacing(12);

    auto* icon = new QLabel(this);
    icon->setPixmap(ui::applicationIcon().pixmap(96, 96));
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    QLabel* name = ui::textLabel(QStringLiteral("Kestrava"), ui::TextStyle::title, this);
    name->setFont(ui::font(ui::TextStyle::title, QFont::DemiBold));
    name->setAlignment(Qt::AlignHCenter);
    layout->addWidget(name);
    QLabel* purpose = ui::textLabel(uiText("Giữ Mac luôn thức và theo dõi từ iPhone."),
                                    ui::TextStyle::callout, this, ui::secondary());
    purpose->setAlignment(Qt::AlignHCenter);
    layout->addWidget(purpose);

    auto* table = new QGridLayout;
    table->setHorizontalSpacing(12);
    table->setVerticalSpacing(6);
    table->setContentsMargins(0, 4, 0, 4);
    const auto row = [&](int at, const QString& label, QLabel* value) {
        table->addWidget(ui::textLabel(label, ui::TextStyle::callout, this, ui::secondary()), at, 0);
        table->addWidget(value, at, 1);
    };
    row(0, uiText("Ứng dụng"), selectable(appVersionText(), "appVersion", this));
    agentVersion_ = selectable({}, "agentVersion", this);
    row(1, uiText("Agent"), agentVersion_);
    QLabel* team = selectable(QStringLiteral("Q4XR7ZP2LM"), "teamId", this);
    team->setFont(ui::monospaced(ui::font(ui::TextStyle::body)));
    row(2, uiText("Team ID"), team);
    auto* tableHolder = new QHBoxLayout;
    tableHolder->addStretch();
    tableHolder->addLayout(table);
    tableHolder->addStretch();
    layout->addLayout(tableHolder);

    auto* links = new QHBoxLayout;
    links->setSpacing(16);
    links->addStretch();
    links->addWidget(link(uiText("Quyền riêng tư"), privacyURL(), this));
    links->addWidget(link(uiText("Hỗ trợ"), supportURL(), this));
    links->addStretch();
    layout->addLayout(links);

    connect(state_.get(), &AppState::changed, this, &AboutView::render);
    render();
    const int viewWidth = ui::grownWithFont(340);
    setFixedSize(viewWidth, layout->totalHeightForWidth(viewWidth));
}

void AboutView::render() {
    const auto& status = state_->status();
    agentVersion_->setText(status ? QString::fromStdString(status->agentVersion) : QStringLiteral("—"));
}

} // namespace kestrava::app
