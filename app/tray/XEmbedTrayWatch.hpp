#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <xcb/xcb.h>

class QSocketNotifier;

namespace kestrava::app {

// Whether an XEmbed tray is on an X display: the owner of its screen's system tray selection. Follows its
// coming (the MANAGER message the root window gets) and going (the owner's window destroyed) on a
// connection of its own, so that Qt's answer, which it keeps, plays no part. Interface thread.
class XEmbedTrayWatch final : public QObject {
    Q_OBJECT

public:
    // On the X display `display` names (as DISPLAY does); never a tray where it cannot be reached.
    explicit XEmbedTrayWatch(const QString& display);
    ~XEmbedTrayWatch() override;

    bool present() const noexcept { return owner_ != XCB_WINDOW_NONE; }

signals:
    void changed();

private:
    void lookForOwner();
    void readEvents();

    xcb_connection_t* x_ = nullptr;
    xcb_atom_t selection_ = XCB_ATOM_NONE;
    xcb_atom_t manager_ = XCB_ATOM_NONE;
    xcb_window_t owner_ = XCB_WINDOW_NONE;
    std::unique_ptr<QSocketNotifier> events_;
};

} // namespace kestrava::app
