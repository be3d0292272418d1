#pragma once

#include "agent-core/state/SecretStore.hpp"
#include "platform/keychain/GenericPasswords.hpp"

#include <atomic>

namespace kestrava {

// The user's secret store, under the agent's keychain service. A test run never touches it: reads fail
// as if the store were locked and writes fail.
class SystemKeychain : public SecretStore {
public:
    SystemKeychain();

    SecretReadOutcome read(std::string_view account) override;
    bool write(std::string_view account, ByteView data) override;

    // Removes the relay token; a missing one counts as removed. A failure is logged and otherwise ignored.
    void deleteAgentToken();
    // Removes the remains of writes a killed agent left unfinished; only under the single-instance lock.
    void removeInterruptedWrites();

private:
    keychain::GenericPasswords items_;
    std::atomic<bool> folderProblemLogged_{false};
};

} // namespace kestrava
