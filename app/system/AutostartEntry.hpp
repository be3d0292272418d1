#pragma once

#include "app/system/AppServiceBackend.hpp"

#include <filesystem>
#include <optional>

namespace kestrava::app {

// The application's own start at login: the XDG autostart entry "autostart/kestrava.desktop" in the
// config home. Nothing can block it, so it never needs approval.
class AutostartEntry final : public AppServiceBackend {
public:
    AutostartEntry(std::filesystem::path configHome,
                   std::optional<std::filesystem::path> applicationExecutable);

    ServiceStatus status() const override;
    QCoro::Task<Result<void, PlatformError>> registerService() override;
    QCoro::Task<Result<void, PlatformError>> unregisterService() override;
    void openSystemSettingsLoginItems() override;

private:
    std::filesystem::path entryFile_;
    std::optional<std::filesystem::path> applicationExecutable_;
};

} // namespace kestrava::app
