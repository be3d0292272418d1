#pragma once

#include "app/async/QtScheduler.hpp"
#include "app/state/AppState.hpp"
#include "tests/app-support/FakeAgentTransport.hpp"
#include "tests/app-support/FakeServiceBackend.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <memory>

namespace kestrava::test {

// The `n`th made-up paired phone: "phone-n", named "Phone n", paired now and never used.
inline PhoneInfo samplePhone(int n) {
    return PhoneInfo{"phone-" + std::to_string(n), "Phone " + std::to_string(n), wallClockNow(),
                     std::nullopt};
}

// An application state for a view under test or on review: its agent link leads nowhere (nothing
// answers), its services are fakes, its settings live in a temporary folder.
struct AppStateForViews {
    // On the Qt event loop, which it runs while it waits.
    AppStateForViews();

    // The agent answers from now on with a connected status, these phones and this waiting request; the
    // state is refreshed.
    void agentHolds(const std::vector<PhoneInfo>& phones, const std::optional<PendingPairingInfo>& pending);
    // The same with this status; none: the agent's link fails every call. Yes-or-no questions get `yes`.
    void agentAnswers(const std::optional<AgentStatus>& status, const std::vector<PhoneInfo>& phones,
                      const std::optional<PendingPairingInfo>& pending, bool yes = true);
    // Runs `task` on the event loop to its end.
    void run(QCoro::Task<> task);

    app::QtScheduler scheduler;
    TemporaryDirectory folder;
    std::shared_ptr<FakeAgentTransport> transport;
    std::shared_ptr<FakeServiceBackend> agentService = std::make_shared<FakeServiceBackend>();
    std::shared_ptr<app::AgentClient> client;
    std::shared_ptr<app::AppState> state;
};

} // namespace kestrava::test
