#include "app/tray/CloseOnActiveWindowChange.hpp"

#include "app/tray/XAtom.hpp"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <xcb/xcb.h>

namespace kestrava::app {
namespace {

class ActiveWindowCloser final : public QObject, public QAbstractNativeEventFilter {
public:
    ActiveWindowCloser(QWidget& window, xcb_connection_t* x) : QObject(&window), window_(window), x_(x) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
        active_ = internAtom(x, "_NET_ACTIVE_WINDOW");
        // Added to what Qt listens for on the root already: a second mask would replace Qt's.
        xcb_get_window_attributes_reply_t* attributes =
            xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, root_), nullptr);
        const uint32_t events =
            (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
        std::free(attributes);
        xcb_change_window_attributes(x, root_, XCB_CW_EVENT_MASK, &events);
        xcb_flush(x);
        named_ = activeWindow();
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~ActiveWindowCloser() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* changed = static_cast<const xcb_property_notify_event_t*>(message);
            if (changed->window == root_ && changed->atom == active_ && active_ != XCB_ATOM_NONE) {
                // Not from inside Qt's dispatch of this event.
                QMetaObject::invokeMethod(this, &ActiveWindowCloser::closeIfAnotherIsActive,
                                          Qt::QueuedConnection);
            }
        }
        return false;
    }

private:
    // The window the window manager names active; none where it names none or cannot be asked.
    xcb_window_t activeWindow() const {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            x_, xcb_get_property(x_, false, root_, active_, XCB_ATOM_WINDOW, 0, 1), nullptr);
        xcb_window_t window = XCB_WINDOW_NONE;
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4) {
            window = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
        }
        std::free(reply);
        return window;
    }

    // A notice may name the same window again, or a window of the application's own (this one as
    // it takes the focus, a dialog it opened), whose focus the application follows itself.
    void closeIfAnotherIsActive() {
        const xcb_window_t named = activeWindow();
        if (named == named_) {
            return;
        }
        named_ = named;
        const QWidgetList ours = QApplication::topLevelWidgets();
        if (named == XCB_WINDOW_NONE || std::none_of(ours.begin(), ours.end(), [&](const QWidget* own) {
                return own->internalWinId() == named;
            })) {
            window_.close();
        }
    }

    QWidget& window_;
    xcb_connection_t* const x_;
    // The window named active last.
    xcb_window_t named_ = XCB_WINDOW_NONE;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t active_ = XCB_ATOM_NONE;
};

} // namespace

void closeOnActiveWindowChange(QWidget& window) {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 && x11->connection()) {
        new ActiveWindowCloser(window, x11->connection());
    }
}

} // namespace kestrava::app
