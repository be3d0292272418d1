#pragma once

#include "app/async/Scheduler.hpp"
#include "app/system/AppServiceBackend.hpp"
#include "app/system/SystemdUserManager.hpp"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace kestrava::app {

// The unit folders of the whole system that the status and registering look at.
struct SystemUnitFolders {
    std::filesystem::path admin = "/etc/systemd/user";      // masks and enables for every user
    std::filesystem::path vendor = "/usr/lib/systemd/user"; // where the package puts its unit
};

// The agent as the systemd user unit "kestrava-agent.service". Its status comes from the unit folders
// alone. Registering asks the user's service manager to enable and start it, each call bounded by
// `callLimit`; before that it writes the application's own copy of the unit, unless the package's unit
// already runs this agent (an installed application), in which case a copy left by a build tree's
// application, which would hide the package's, is removed.
class SystemdUserUnit final : public AppServiceBackend {
public:
    static inline const std::string unitName = "kestrava-agent.service";
    // What lifts a block on the unit; the user runs it, since nothing here may.
    static std::string unmaskCommand() { return "systemctl --user unmask " + unitName; }

    SystemdUserUnit(std::shared_ptr<SystemdUserManager> manager, Scheduler& scheduler,
                    std::filesystem::path configHome, std::optional<std::filesystem::path> agentExecutable,
                    Scheduler::Clock::duration callLimit = std::chrono::seconds(10),
                    SystemUnitFolders systemFolders = {});

    ServiceStatus status() const override;
    QCoro::Task<Result<void, PlatformError>> registerService() override;
    QCoro::Task<Result<void, PlatformError>> unregisterService() override;
    void openSystemSettingsLoginItems() override;

private:
    bool agentPresent() const;
    // Linked to /dev/null in the user's or the system's unit folder: a block only its owner lifts.
    bool masked() const;
    // A "default.target.wants" link in either folder.
    bool enabled() const;
    // The package's unit is the one this application would write.
    bool packagedUnitRunsThisAgent() const;
    Result<void, PlatformError> placeUnitUnlessMasked() const;

    std::shared_ptr<SystemdUserManager> manager_;
    Scheduler& scheduler_;
    std::filesystem::path userUnitFolder_; // where registering writes the unit
    std::optional<std::filesystem::path> agentExecutable_;
    Scheduler::Clock::duration callLimit_;
    SystemUnitFolders systemFolders_;
};

} // namespace kestrava::app
