#include "app/tray/ActivatedFromTheTray.hpp"

#include "app/tray/XAtom.hpp"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <xcb/xcb.h>

namespace kestrava::app {
namespace {

// The source of an activation request that a pager sends for the user.
constexpr uint32_t fromAPager = 2;

void askToActivate(xcb_connection_t* x, xcb_window_t window) {
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = window;
    request.type = internAtom(x, "_NET_ACTIVE_WINDOW");
    request.data.data32[0] = fromAPager;
    request.data.data32[1] = XCB_CURRENT_TIME;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    xcb_send_event(x, false, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&request));
    xcb_flush(x);
}

// Asks once the window manager shows the window: it ignores a request for a window it does not manage yet.
class ActivationOnceShown final : public QObject {
public:
    ActivationOnceShown(QWindow& window, xcb_connection_t* x) : QObject(&window), x_(x) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = static_cast<QWindow*>(watched);
        if (event->type() == QEvent::Expose && window->isExposed()) {
            askToActivate(x_, xcb_window_t(window->winId()));
            deleteLater();
        }
        return false;
    }

private:
    xcb_connection_t* const x_;
};

} // namespace

void activateFromTheTray(QWidget& window) {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) {
        return;
    }
    window.winId();
    QWindow* shown = window.windowHandle();
    if (shown->isExposed()) {
        askToActivate(x11->connection(), xcb_window_t(shown->winId()));
    } else {
        new ActivationOnceShown(*shown, x11->connection());
    }
}

} // namespace kestrava::app
