#include "app/state/AfterUpdate.hpp"

#include "agent-core/runtime/AgentEnvironment.hpp"
#include "app/runtime/AppLog.hpp"
#include "app/state/AppError.hpp"

namespace kestrava::app {
namespace {

constexpr const char* lastSeenKey = "lastSeenAppVersion";

std::string describe(const ServiceFailure& failure) {
    if (const auto* platform = std::get_if<PlatformError>(&failure)) {
        return platform->description;
    }
    const auto& ours = std::get<ServiceManagerError>(failure);
    switch (ours.kind) {
    case ServiceManagerError::Kind::registerFailed:
        return "registerFailed: " + ours.text;
    case ServiceManagerError::Kind::agentDidNotStart:
        return "agentDidNotStart";
    case ServiceManagerError::Kind::requiresApproval:
        return "requiresApproval";
    }
    return {};
}

} // namespace

QCoro::Task<AfterUpdateRestart> restartAgentIfAppUpdated(std::string version,
                                                         std::shared_ptr<Defaults> defaults,
                                                         std::shared_ptr<ServiceManager> serviceManager) {
    if (defaults->text(lastSeenKey) == version) {
        co_return AfterUpdateRestart{};
    }
    if (serviceManager->agent().status() != ServiceStatus::enabled) {
        defaults->setText(lastSeenKey, version);
        co_return AfterUpdateRestart{};
    }
    const auto restarted = co_await serviceManager->restartAgent();
    if (restarted) {
        defaults->setText(lastSeenKey, version);
        co_return AfterUpdateRestart{true, std::nullopt};
    }
    appLog(AppLogLevel::error, "Updater",
           "helper restart after update to " + version + " failed: " + describe(restarted.error()));
    if (serviceManager->agent().status() == ServiceStatus::enabled) {
        defaults->setText(lastSeenKey, version);
    }
    co_return AfterUpdateRestart{true, message(appErrorOf(restarted.error()))};
}

std::string currentAppVersion() {
    return currentAppVersion(mainBundleInfo());
}

std::string currentAppVersion(const std::optional<json::Object>& info) {
    if (const json::Value* version = info ? info->find("CFBundleVersion") : nullptr) {
        if (const std::string* text = version->asString()) {
            return *text;
        }
    }
    return "0";
}

} // namespace kestrava::app
