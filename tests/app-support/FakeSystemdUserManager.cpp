#include "tests/app-support/FakeSystemdUserManager.hpp"

namespace kestrava::test {
namespace {

app::SystemdUserManager::Answer
awaited(std::shared_ptr<app::OneShot<std::optional<app::PlatformError>>> shot) {
    const std::optional<app::PlatformError> error = co_await *shot;
    co_return error;
}

} // namespace

const FakeSystemdUserManager::Calls FakeSystemdUserManager::registering{
    "EnableUnitFiles kestrava-agent.service", "Reload", "StartUnit kestrava-agent.service"};
const FakeSystemdUserManager::Calls FakeSystemdUserManager::unregistering{
    "StopUnit kestrava-agent.service", "DisableUnitFiles kestrava-agent.service", "Reload"};

app::SystemdUserManager::Answer FakeSystemdUserManager::enableUnitFiles(std::string unit) {
    const std::string call = "EnableUnitFiles " + unit;
    if (wantsFolder && succeeds(call) && !std::filesystem::is_symlink(*wantsFolder / unit)) {
        std::filesystem::create_directories(*wantsFolder);
        std::filesystem::create_symlink(wantsFolder->parent_path() / unit, *wantsFolder / unit);
    }
    return answer(call);
}

app::SystemdUserManager::Answer FakeSystemdUserManager::disableUnitFiles(std::string unit) {
    const std::string call = "DisableUnitFiles " + unit;
    if (wantsFolder && succeeds(call)) {
        std::filesystem::remove(*wantsFolder / unit);
    }
    return answer(call);
}

void FakeSystemdUserManager::answerSilentCalls() {
    for (const auto& shot : waiting_) {
        shot->resolve(std::nullopt);
    }
    waiting_.clear();
}

app::SystemdUserManager::Answer FakeSystemdUserManager::answer(const std::string& call) {
    calls.push_back(call);
    auto shot = std::make_shared<Shot>(scheduler_);
    if (call == silent) {
        waiting_.push_back(shot);
    } else {
        shot->resolve(errors.contains(call) ? std::optional(errors.at(call)) : std::nullopt);
    }
    return awaited(shot);
}

} // namespace kestrava::test
