#pragma once

#include "agent-core/control/PairingOutcome.hpp"
#include "agent-core/control/PhoneInfo.hpp"
#include "app/link/AgentClient.hpp"

#include <QCoro/QCoroTask>
#include <memory>
#include <string>
#include <vector>

namespace kestrava::app {

// What a pairing attempt asks of the agent.
class PairingService {
public:
    virtual ~PairingService() = default;

    virtual QCoro::Task<AgentResult<AgentClient::PairingWindow>> openPairing() = 0;
    virtual QCoro::Task<AgentResult<void>> cancelPairing() = 0;
    virtual QCoro::Task<AgentResult<PairingOutcome>> decide(std::string requestId, bool approve) = 0;
    virtual QCoro::Task<AgentResult<std::vector<PhoneInfo>>> phones() = 0;
};

// The application's agent client as the pairing service.
class AgentPairingService final : public PairingService {
public:
    explicit AgentPairingService(std::shared_ptr<AgentClient> client) : client_(std::move(client)) {}

    QCoro::Task<AgentResult<AgentClient::PairingWindow>> openPairing() override {
        return client_->openPairing();
    }
    QCoro::Task<AgentResult<void>> cancelPairing() override { return client_->cancelPairing(); }
    QCoro::Task<AgentResult<PairingOutcome>> decide(std::string requestId, bool approve) override {
        return client_->decide(std::move(requestId), approve);
    }
    QCoro::Task<AgentResult<std::vector<PhoneInfo>>> phones() override { return client_->phones(); }

private:
    const std::shared_ptr<AgentClient> client_;
};

} // namespace kestrava::app
