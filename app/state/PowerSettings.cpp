#include "app/state/PowerSettings.hpp"

#include "app/runtime/AppLog.hpp"
#include "app/system/AdminQueue.hpp"
#include "app/system/GnomeAcSleepType.hpp"
#include "app/system/PowerCommands.hpp"

namespace kestrava::app {
namespace {

constexpr const char* logCategory = "PowerSetup";
constexpr const char* appliedKey = "powerApplied";
constexpr const char* flagsKey = "powerAppliedFlags";
constexpr const char* earlierGnomeSleepTypeKey = "powerEarlierGnomeSleepType";
constexpr const char* onlyACFlag = "-c";
constexpr const char* allSourcesFlag = "-a";

std::optional<bool> onlyACOf(const std::optional<std::string>& flag) {
    if (flag == onlyACFlag) {
        return true;
    }
    if (flag == allSourcesFlag) {
        return false;
    }
    return std::nullopt;
}

bool holdsValue(const Defaults& defaults, const std::string& key) {
    return defaults.text(key) || defaults.boolean(key);
}

// A valid flag without "powerApplied" true is a scope not yet complete, and stays.
void clearInvalidScope(Defaults& defaults) {
    if (!holdsValue(defaults, appliedKey) && !holdsValue(defaults, flagsKey)) {
        return;
    }
    if (onlyACOf(defaults.text(flagsKey))) {
        return;
    }
    appLog(AppLogLevel::error, logCategory,
           "Ignoring invalid stored power scope; clearing power setup defaults");
    defaults.remove(appliedKey);
    defaults.remove(flagsKey);
}

// The earliest value is kept, so that applying twice still puts back the user's own.
QCoro::Task<> turnOffGnomeIdleSuspend(std::shared_ptr<Defaults> defaults) {
    if (!inGnomeSession()) {
        co_return;
    }
    if (!defaults->text(earlierGnomeSleepTypeKey)) {
        auto reading = gnomeAcSleepType();
        const auto earlier = co_await reading;
        if (earlier) {
            defaults->setText(earlierGnomeSleepTypeKey, *earlier);
        }
    }
    auto setting = setGnomeAcSleepType(gnomeNeverSleeps);
    if (!co_await setting) {
        appLog(AppLogLevel::error, logCategory, "cannot turn off GNOME's idle suspend on mains power");
    }
}

// The earlier value is forgotten only once it is back, so that a later apply does not record ours.
QCoro::Task<> restoreGnomeIdleSuspend(std::shared_ptr<Defaults> defaults) {
    if (!inGnomeSession()) {
        co_return;
    }
    const auto earlier = defaults->text(earlierGnomeSleepTypeKey);
    auto restoring = earlier ? setGnomeAcSleepType(*earlier) : resetGnomeAcSleepType();
    if (co_await restoring) {
        defaults->remove(earlierGnomeSleepTypeKey);
    } else {
        appLog(AppLogLevel::error, logCategory, "cannot put back GNOME's idle suspend on mains power");
    }
}

} // namespace

std::optional<bool> storedPowerScope(const Defaults& defaults) {
    if (!defaults.boolean(appliedKey).value_or(false)) {
        return std::nullopt;
    }
    return onlyACOf(defaults.text(flagsKey));
}

QCoro::Task<PowerSetupResult> applyPowerSettings(bool onlyAC, std::shared_ptr<Defaults> defaults,
                                                 std::shared_ptr<AdminRunner> runner) {
    auto running = runOffMain(powerApplyCommand(), std::move(runner));
    const PowerSetupResult result = co_await running;
    if (result.kind != PowerSetupResult::Kind::applied) {
        co_return result;
    }
    defaults->setBoolean(appliedKey, true);
    defaults->setText(flagsKey, onlyAC ? onlyACFlag : allSourcesFlag);
    // The user's part only now, so that a refused prompt changes nothing.
    auto turningOff = turnOffGnomeIdleSuspend(defaults);
    co_await turningOff;
    co_return result;
}

QCoro::Task<PowerSetupResult> undoPowerSetup(std::shared_ptr<Defaults> defaults,
                                             std::shared_ptr<AdminRunner> runner) {
    if (!storedPowerScope(*defaults)) {
        clearInvalidScope(*defaults);
        co_return PowerSetupResult::failed("nothing to undo");
    }
    auto running = runOffMain(powerUndoCommand(), std::move(runner));
    const PowerSetupResult result = co_await running;
    if (result.kind != PowerSetupResult::Kind::applied) {
        co_return result;
    }
    defaults->remove(appliedKey);
    defaults->remove(flagsKey);
    auto restoring = restoreGnomeIdleSuspend(defaults);
    co_await restoring;
    co_return result;
}

} // namespace kestrava::app
