#include "agent-core/state/SystemKeychain.hpp"

#include "agent-core/runtime/AgentEnvironment.hpp"
#include "agent-core/runtime/Log.hpp"
#include "agent-core/runtime/TestHarness.hpp"
#include "agent-core/state/AtomicWrite.hpp"

namespace kestrava {

SystemKeychain::SystemKeychain() : items_(AgentEnvironment::current().keychainService, logUnflushedFolder) {}

SecretReadOutcome SystemKeychain::read(std::string_view account) {
    if (isRunningUnderTests()) {
        return {SecretReadOutcome::Failed{keychain::status::interactionNotAllowed}};
    }
    auto item = items_.copyItem(account);
    // The status alone ("-36") tells no one that the folder's owner or mode is what to mend.
    if (item.status == keychain::status::ioError) {
        if (const auto problem = items_.folderProblem(); problem && !folderProblemLogged_.exchange(true)) {
            logError(*problem);
        }
    }
    switch (item.status) {
    case keychain::status::success:
        return {SecretReadOutcome::Found{std::move(item.data)}};
    case keychain::status::itemNotFound:
        return {SecretReadOutcome::NotFound{}};
    default:
        return {SecretReadOutcome::Failed{item.status}};
    }
}

bool SystemKeychain::write(std::string_view account, ByteView data) {
    if (isRunningUnderTests()) {
        return false;
    }
    const auto updated = items_.updateItem(account, data);
    if (updated != keychain::status::itemNotFound) {
        return updated == keychain::status::success;
    }
    return items_.addItem(account, data) == keychain::status::success;
}

void SystemKeychain::removeInterruptedWrites() {
    if (!isRunningUnderTests()) {
        items_.removeInterruptedWrites();
    }
}

void SystemKeychain::deleteAgentToken() {
    if (!isRunningUnderTests()) {
        const auto deleted = items_.deleteItem(agentTokenAccount);
        if (deleted == keychain::status::success || deleted == keychain::status::itemNotFound) {
            return;
        }
    }
    logError("could not delete stale agentToken from Keychain");
}

} // namespace kestrava
