#pragma once

#include "app/state/Defaults.hpp"
#include "app/system/ServiceManager.hpp"
#include "platform/json/Value.hpp"

#include <QCoro/QCoroTask>
#include <QString>
#include <memory>
#include <optional>
#include <string>

namespace kestrava::app {

// The agent keeps running when the application is replaced by a new version, so the first start of a
// new version restarts it once: the agent in use is then the one shipped with it.
struct AfterUpdateRestart {
    bool attempted = false;
    std::optional<QString> failure; // the user's text when the attempt failed
};

// Settles `version` in "lastSeenAppVersion": nothing when it is settled already, no restart when the
// agent's service is not enabled. A failed restart settles the version only if the service is still
// enabled, so that one left unregistered is tried again once the user enables it.
QCoro::Task<AfterUpdateRestart> restartAgentIfAppUpdated(std::string version,
                                                         std::shared_ptr<Defaults> defaults,
                                                         std::shared_ptr<ServiceManager> serviceManager);

// The application's build version ("CFBundleVersion" of its Info.json), "0" when it is missing or not
// a text; the second reads it from a given Info.json.
std::string currentAppVersion();
std::string currentAppVersion(const std::optional<json::Object>& info);

} // namespace kestrava::app
