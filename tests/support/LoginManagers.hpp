#pragma once

#include "platform/dbus/SdBus.hpp"

#include <atomic>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <thread>
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

// A login manager of the test's own on the system bus the process points at (a private bus) that serves
// only its idle action and delay, from a thread of its own.
class IdleLoginManager {
public:
    IdleLoginManager(const char* idleAction, std::uint64_t idleActionUSec);
    ~IdleLoginManager();
    IdleLoginManager(const IdleLoginManager&) = delete;
    IdleLoginManager& operator=(const IdleLoginManager&) = delete;

    struct Properties {
        char* idleAction;
        std::uint64_t idleActionUSec;
    };

private:
    dbus::Bus bus_;
    Properties properties_;
    std::atomic<bool> stopping_ = false;
    std::thread serving_;
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
