#pragma once

#include "app/pairing/PairingService.hpp"

#include <QCoro/QCoroTimer>
#include <string>
#include <vector>

namespace kestrava::test {

// A pairing service that answers every call at once, as set, and notes the calls. An opening or a decision
// held waits a day, for screens that show one under way.
class ScriptedPairingService final : public app::PairingService {
public:
    QCoro::Task<app::AgentResult<app::AgentClient::PairingWindow>> openPairing() override {
        calls.push_back("open");
        if (holdOpening) {
            co_await QCoro::sleepFor(std::chrono::hours(24));
        }
        co_return app::AgentResult<app::AgentClient::PairingWindow>(
            window); // a copy: QCoro moves from lvalues
    }
    QCoro::Task<app::AgentResult<void>> cancelPairing() override {
        calls.push_back("cancel");
        co_return app::AgentResult<void>{};
    }
    QCoro::Task<app::AgentResult<PairingOutcome>> decide(std::string requestId, bool approve) override {
        calls.push_back("decide " + requestId + (approve ? " yes" : " no"));
        if (holdDecision) {
            co_await QCoro::sleepFor(std::chrono::hours(24));
        }
        co_return app::AgentResult<PairingOutcome>(outcome);
    }
    QCoro::Task<app::AgentResult<std::vector<PhoneInfo>>> phones() override {
        calls.push_back("phones");
        co_return app::AgentResult<std::vector<PhoneInfo>>(listed);
    }

    app::AgentResult<app::AgentClient::PairingWindow> window = app::AgentClient::PairingWindow{
        "kestrava://pair?v=1&u=https%3A%2F%2Frelay.example.com&d=dev-1", {}, 1};
    app::AgentResult<PairingOutcome> outcome = PairingOutcome{PairingOutcome::Approved{"phone-1"}};
    app::AgentResult<std::vector<PhoneInfo>> listed = std::vector<PhoneInfo>{};
    bool holdOpening = false;
    bool holdDecision = false;
    std::vector<std::string> calls;
};

} // namespace kestrava::test
