#pragma once

#include <QString>
#include <QWidget>

namespace kestrava::app {

// A shell command, or other words of the system's, on a grey card, monospaced, to read, select and copy:
// wrapped at its spaces when `wraps`, else on one line, whole. The label is named `name` for tests.
// Interface thread.
QWidget* commandBox(const QString& command, bool wraps, const char* name, QWidget* parent);

} // namespace kestrava::app
