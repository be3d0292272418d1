#pragma once

namespace kestrava::app {

// Whether a panel's watcher of status notifier items says a host draws the items it lists.
enum class HostPresence {
    unknown, // the watcher has not answered yet
    absent,
    present,
};

// How our item stands with the watcher.
enum class ItemStanding {
    pending, // being registered, or registered and not listed yet
    listed,  // the watcher lists it or said it registered it
    refused, // the watcher refused it, or did not list it, as often as the item tried
};

// What is there for the application's icon now.
struct TraySituation {
    bool watcher = false;
    HostPresence host = HostPresence::absent;
    ItemStanding item = ItemStanding::pending;
    // An XEmbed tray on the X display Qt's icon would go to.
    bool xembedTray = false;
};

// Which icon shows.
enum class TrayIcon {
    undecided, // the watcher has yet to answer: whatever shows stays
    ownItem,
    qtIcon,
    none, // no tray: the panel is a window
};

// Exactly one icon, where a tray is there to show it: our item where a host draws it, else Qt's in an
// XEmbed tray.
TrayIcon chooseTrayIcon(const TraySituation& situation);

} // namespace kestrava::app
