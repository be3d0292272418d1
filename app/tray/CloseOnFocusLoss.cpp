#include "app/tray/CloseOnFocusLoss.hpp"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace kestrava::app {
namespace {

// Whether the focus went to something `window` asked for itself.
bool heldByItsOwn(const QWidget& window) {
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        return true;
    }
    for (const QWidget* active = QApplication::activeWindow(); active; active = active->parentWidget()) {
        if (active == &window) {
            return true;
        }
    }
    return false;
}

class FocusLossCloser final : public QObject {
public:
    explicit FocusLossCloser(QWidget& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_) {
            if (event->type() == QEvent::WindowActivate) {
                wasActive_ = true;
            } else if (event->type() == QEvent::WindowDeactivate && wasActive_ && !heldByItsOwn(window_)) {
                window_.close();
            }
        }
        return false;
    }

private:
    QWidget& window_;
    // A window the desktop never made active has not been left.
    bool wasActive_ = false;
};

} // namespace

void closeOnFocusLoss(QWidget& window) {
    new FocusLossCloser(window);
}

} // namespace kestrava::app
