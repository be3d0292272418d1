#include "app/ui/Discard.hpp"

#include <QWidget>

namespace kestrava::app::ui {

void discardLater(QWidget* widget) {
    widget->hide();
    widget->setParent(nullptr);
    widget->deleteLater();
}

} // namespace kestrava::app::ui
