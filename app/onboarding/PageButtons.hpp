#pragma once

#include <QPushButton>
#include <QString>
#include <QWidget>
#include <functional>

namespace kestrava::app {

// A button of a guide's page, named for tests, that runs `action` when clicked. Interface thread.
QPushButton* pageButton(const QString& text, const char* name, QWidget* parent, std::function<void()> action);

// A row of buttons and what goes with them, packed to the left.
QWidget* buttonRow(QWidget* parent, std::initializer_list<QWidget*> items);

} // namespace kestrava::app
