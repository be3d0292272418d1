#pragma once

#include "platform/dbus/SdBus.hpp"

#include <string>
#include <sys/types.h>
#include <vector>

namespace kestrava::test {

// A login manager of the test's own on the system bus the process points at (a private bus): it owns the
// login manager's name and says when the machine goes to sleep and wakes.
class FakeLoginManager {
public:
    FakeLoginManager();
    FakeLoginManager(const FakeLoginManager&) = delete;
    FakeLoginManager& operator=(const FakeLoginManager&) = delete;

    // PrepareForSleep(`goingToSleep`), as the login manager sends it before a sleep and after the wake.
    void prepareForSleep(bool goingToSleep);

private:
    dbus::Bus bus_;
};

// The system's own login manager, run on the system bus the process points at (a private bus), until this
// object goes. Needs root; available() says whether it can run here.
class RealLoginManager {
public:
    static bool available();

    RealLoginManager();
    ~RealLoginManager();
    RealLoginManager(const RealLoginManager&) = delete;
    RealLoginManager& operator=(const RealLoginManager&) = delete;

    // The inhibitor locks it holds for process `pid`, as "what who why mode" lines.
    std::vector<std::string> inhibitorsOf(pid_t pid);

private:
    pid_t pid_ = -1;
};

} // namespace kestrava::test
