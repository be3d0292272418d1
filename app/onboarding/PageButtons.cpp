#include "app/onboarding/PageButtons.hpp"

#include <QHBoxLayout>

namespace kestrava::app {

QPushButton* pageButton(const QString& text, const char* name, QWidget* parent,
                        std::function<void()> action) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    QObject::connect(button, &QPushButton::clicked, button, std::move(action));
    return button;
}

QWidget* buttonRow(QWidget* parent, std::initializer_list<QWidget*> items) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* item : items) {
        item->setParent(row);
        layout->addWidget(item, 0, Qt::AlignVCenter);
    }
    layout->addStretch();
    return row;
}

} // namespace kestrava::app
