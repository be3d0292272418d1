#include "app/ui/Discard.hpp"

#include <QWidget>

namespace kestrava::app::ui {

void discardLater(QWidget* widget) {
    QWidget* window = widget->window();
    widget->hide();
    widget->setParent(nullptr);
    widget->deleteLater();
    // Out of its window it would outlive it, and with it what the window shared with it, until an event
    // loop next deletes: a window deleted first takes what it discarded along.
    if (window != widget) {
        QObject::connect(window, &QObject::destroyed, widget, [widget] { delete widget; });
    }
}

} // namespace kestrava::app::ui
