#pragma once

namespace kestrava::app {

// Makes Qt's tray icon, asked for on X, the XEmbed one for good, without a call to the panel's watcher.
// Qt decides at its first question, once per process, between its own status notifier item (where the
// watcher says a host is there) and the XEmbed icon, and to learn it blocks on the watcher, 25 s for one
// that holds its name and answers nothing. Its question reads the watcher's interface as its bus
// connection knows it, and asks only when that interface has the property it reads: taught an interface
// without it beforehand, Qt finds no host at once. Before Qt's first question; interface thread.
void keepQtTrayIconXEmbed();

} // namespace kestrava::app
