#include "app/ui/CopyButton.hpp"

#include "app/runtime/UiText.hpp"
#include "app/ui/Symbols.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <algorithm>

namespace kestrava::app::ui {

CopyButton::CopyButton(const QString& label, QWidget* parent) : QPushButton(parent), label_(label) {
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, &CopyButton::copy);
    int widest = 0;
    for (const bool copied : {true, false}) {
        copied_ = copied;
        render();
        widest = std::max(widest, sizeHint().width());
    }
    setMinimumWidth(widest);
}

void CopyButton::setContent(const QString& content) {
    if (content != content_) {
        content_ = content;
        copied_ = false;
        render();
    }
}

void CopyButton::copy() {
    QGuiApplication::clipboard()->setText(content_);
    copied_ = true;
    render();
}

void CopyButton::render() {
    setText(copied_ ? uiText("Đã sao chép") : label_);
    setIcon(QIcon(ui::icon(copied_ ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc"),
                           palette().color(QPalette::ButtonText), 14, devicePixelRatioF())));
}

} // namespace kestrava::app::ui
