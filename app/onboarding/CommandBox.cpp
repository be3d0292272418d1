#include "app/onboarding/CommandBox.hpp"

#include "app/ui/CardFrame.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"

#include <QLabel>
#include <QVBoxLayout>

namespace kestrava::app {

QWidget* commandBox(const QString& command, bool wraps, const char* name, QWidget* parent) {
    auto* box = new ui::CardFrame(parent);
    QColor fill = ui::secondary();
    fill.setAlphaF(0.1);
    box->setFill(fill);
    box->setCornerRadius(6);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(8, 8, 8, 8);
    QLabel* text = ui::textLabel(command, ui::TextStyle::callout, box);
    text->setObjectName(QLatin1String(name));
    text->setFont(ui::monospaced(ui::font(ui::TextStyle::callout)));
    text->setWordWrap(wraps);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(text);
    return box;
}

} // namespace kestrava::app
