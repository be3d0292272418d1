#pragma once

#include "app/async/OneShot.hpp"
#include "app/async/Scheduler.hpp"
#include "app/system/SystemdUserManager.hpp"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrava::test {

// A service manager that notes each call ("StartUnit kestrava-agent.service") and answers it at once,
// with the error set for it, except the silent call, which waits for answerSilentCalls(). With
// `wantsFolder` set, an enable that succeeds links the unit there and a disable removes the link, as the
// real manager does in the user's unit folder. Interface thread.
class FakeSystemdUserManager final : public app::SystemdUserManager {
public:
    using Calls = std::vector<std::string>;

    // The calls of registering and of unregistering the agent's unit, in order.
    static const Calls registering;
    static const Calls unregistering;

    explicit FakeSystemdUserManager(app::Scheduler& scheduler) : scheduler_(scheduler) {}

    Answer enableUnitFiles(std::string unit) override;
    Answer disableUnitFiles(std::string unit) override;
    Answer reload() override { return answer("Reload"); }
    Answer startUnit(std::string unit) override { return answer("StartUnit " + unit); }
    Answer stopUnit(std::string unit) override { return answer("StopUnit " + unit); }

    void answerSilentCalls();

    std::map<std::string, app::PlatformError> errors;
    std::string silent;
    std::optional<std::filesystem::path> wantsFolder; // the unit folder's "default.target.wants"
    Calls calls;

private:
    using Shot = app::OneShot<std::optional<app::PlatformError>>;

    // Whether the call will succeed at once.
    bool succeeds(const std::string& call) const { return call != silent && !errors.contains(call); }
    Answer answer(const std::string& call);

    app::Scheduler& scheduler_;
    std::vector<std::shared_ptr<Shot>> waiting_;
};

} // namespace kestrava::test
