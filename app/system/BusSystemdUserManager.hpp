#pragma once

#include "app/system/SystemdUserManager.hpp"

#include <QDBusConnection>

namespace kestrava::app {

// The user's service manager: systemd's Manager interface on the given bus, called asynchronously.
class BusSystemdUserManager final : public SystemdUserManager {
public:
    explicit BusSystemdUserManager(QDBusConnection bus = QDBusConnection::sessionBus());

    Answer enableUnitFiles(std::string unit) override;
    Answer disableUnitFiles(std::string unit) override;
    Answer reload() override;
    Answer startUnit(std::string unit) override;
    Answer stopUnit(std::string unit) override;

private:
    QDBusConnection bus_;
};

} // namespace kestrava::app
