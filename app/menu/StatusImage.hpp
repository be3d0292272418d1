#pragma once

#include "app/state/AppState.hpp"

#include <QColor>
#include <QIcon>
#include <QString>

namespace kestrava::app {

// The shield that stands for the agent's state, in the tray and in the menu's header alike. Interface
// thread.

QString statusSymbol(StatusIconState state);
QColor statusColour(StatusIconState state);
// What the shield says to the user, as its tooltip or accessible name.
QString spokenText(StatusIconState state);

// The coloured shield painted at each of the icon sides, so that a panel's slot of any usual size gets
// one drawn for it; never null.
QIcon statusImage(StatusIconState state);

} // namespace kestrava::app
