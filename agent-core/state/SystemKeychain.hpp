#pragma once

#include "agent-core/state/SecretStore.hpp"
#include "platform/keychain/GenericPasswords.hpp"

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

private:
    keychain::GenericPasswords items_;
};

} // namespace kestrava
