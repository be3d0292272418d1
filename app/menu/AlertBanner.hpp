#pragma once

#include "app/menu/MenuViewModel.hpp"

#include <QWidget>
#include <functional>

namespace kestrava::app {

// The red box of what needs the user: its title, what it means, the agent's own message or the last error's,
// the system's own words under it where it has them, and the one-click repair when there is one.
class AlertBanner final : public QWidget {
    Q_OBJECT

public:
    AlertBanner(const MenuViewModel::Alert& alert, std::function<void(MenuAction)> perform,
                QWidget* parent = nullptr);
};

} // namespace kestrava::app
