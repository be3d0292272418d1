#include "app/tray/TrayIconChoice.hpp"

namespace kestrava::app {

TrayIcon chooseTrayIcon(const TraySituation& situation) {
    // A host draws only what a watcher lists.
    const HostPresence host = situation.watcher ? situation.host : HostPresence::absent;
    if (host == HostPresence::unknown) {
        return TrayIcon::undecided;
    }
    if (host == HostPresence::present && situation.item != ItemStanding::refused) {
        return TrayIcon::ownItem;
    }
    return situation.xembedTray ? TrayIcon::qtIcon : TrayIcon::none;
}

} // namespace kestrava::app
