#pragma once

#include "app/system/AppServiceBackend.hpp"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace kestrava::test {

// A login item that answers as the test says and notes what it was asked.
class FakeServiceBackend final : public app::AppServiceBackend {
public:
    using Answer = app::Result<void, app::PlatformError>;

    app::ServiceStatus status() const override { return current; }

    QCoro::Task<Answer> registerService() override {
        calls.push_back("register");
        std::optional<app::PlatformError> failure;
        if (!registerFailures.empty()) {
            failure = registerFailures.front();
            registerFailures.pop_front();
        }
        if (failure) {
            co_return *failure;
        }
        current = statusAfterRegister;
        co_return Answer{};
    }

    QCoro::Task<Answer> unregisterService() override {
        calls.push_back("unregister");
        if (unregisterFailure) {
            co_return app::PlatformError(*unregisterFailure); // a copy: QCoro moves from what it is given
        }
        current = statusAfterUnregister;
        co_return Answer{};
    }

    void openSystemSettingsLoginItems() override { calls.push_back("openSettings"); }

    app::ServiceStatus current = app::ServiceStatus::notRegistered;
    // Each register call takes the next: a failure, or none for success.
    std::deque<std::optional<app::PlatformError>> registerFailures;
    app::ServiceStatus statusAfterRegister = app::ServiceStatus::enabled;
    std::optional<app::PlatformError> unregisterFailure;
    app::ServiceStatus statusAfterUnregister = app::ServiceStatus::notRegistered;
    std::vector<std::string> calls;
};

} // namespace kestrava::test
