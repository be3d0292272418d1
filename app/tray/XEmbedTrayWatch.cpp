#include "app/tray/XEmbedTrayWatch.hpp"

#include "app/runtime/AppLog.hpp"
#include "app/tray/XAtom.hpp"

#include <QSocketNotifier>
#include <cstdlib>
#include <string>
#include <utility>

namespace kestrava::app {
XEmbedTrayWatch::XEmbedTrayWatch(const QString& display) {
    if (display.isEmpty()) {
        return;
    }
    int screenNumber = 0;
    x_ = xcb_connect(display.toLocal8Bit().constData(), &screenNumber);
    if (xcb_connection_has_error(x_)) {
        appLog(AppLogLevel::warning, "Tray", "cannot look for an XEmbed tray on " + display.toStdString());
        return;
    }
    xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(x_));
    for (int n = 0; n < screenNumber && screen.rem > 0; ++n) {
        xcb_screen_next(&screen);
    }
    selection_ = internAtom(x_, "_NET_SYSTEM_TRAY_S" + std::to_string(screenNumber));
    manager_ = internAtom(x_, "MANAGER");
    // A tray that starts tells the root window's listeners for its structure.
    const uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(x_, screen.data->root, XCB_CW_EVENT_MASK, &events);
    events_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(x_), QSocketNotifier::Read);
    connect(events_.get(), &QSocketNotifier::activated, this, &XEmbedTrayWatch::readEvents);
    lookForOwner();
    readEvents();
}

XEmbedTrayWatch::~XEmbedTrayWatch() {
    events_.reset();
    if (x_) {
        xcb_disconnect(x_);
    }
}

void XEmbedTrayWatch::lookForOwner() {
    const xcb_window_t before = owner_;
    // Held so that the owner cannot go between the question and the wish to hear of its end.
    xcb_grab_server(x_);
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(x_, xcb_get_selection_owner(x_, selection_), nullptr);
    owner_ = reply ? reply->owner : xcb_window_t{XCB_WINDOW_NONE};
    std::free(reply);
    if (owner_ != XCB_WINDOW_NONE) {
        const uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(x_, owner_, XCB_CW_EVENT_MASK, &events);
    }
    xcb_ungrab_server(x_);
    xcb_flush(x_);
    if (owner_ != before) {
        emit changed();
    }
}

void XEmbedTrayWatch::readEvents() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(x_)) {
        const auto type = event->response_type & 0x7f;
        if (type == XCB_CLIENT_MESSAGE) {
            const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
            if (message->type == manager_ && message->format == 32 && message->data.data32[1] == selection_) {
                lookForOwner();
            }
        } else if (type == XCB_DESTROY_NOTIFY) {
            if (reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == owner_) {
                lookForOwner();
            }
        }
        std::free(event);
    }
    if (xcb_connection_has_error(x_) && events_->isEnabled()) {
        // The display went away, and its tray with it.
        events_->setEnabled(false);
        if (std::exchange(owner_, XCB_WINDOW_NONE) != XCB_WINDOW_NONE) {
            emit changed();
        }
    }
}

} // namespace kestrava::app
