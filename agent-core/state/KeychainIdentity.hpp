#pragma once

#include "agent-core/runtime/Log.hpp"
#include "agent-core/state/SecretStore.hpp"
#include "platform/crypto/P256.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace kestrava {

// Loads the Mac's key-agreement key and the relay token at start-up. Failed reads are retried with
// doubling waits, because a store that is still locked right after boot usually opens soon. Throws
// IdentityError when the agent cannot go on.
struct KeychainIdentity {
    std::shared_ptr<SecretStore> store;
    int attempts = 5;
    // Blocks the calling thread.
    std::function<void(double seconds)> sleep = [](double seconds) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    };
    std::function<void(std::string_view message)> log = logError;

    // The outcome of the last read; found and not found end the retries at once.
    SecretReadOutcome readWithRetry(std::string_view account) const;

    // The stored key, or a new one that is stored first. A missing key is not replaced while phones are
    // paired, and a stored key that does not parse is never overwritten: either would break the pairings.
    crypto::P256PrivateKey loadOrCreateMacKey(bool deviceExists, int pairedPhones) const;

    // The relay token; none when the device is not registered yet or the token has to be renewed.
    std::optional<std::string> readAgentToken(bool deviceExists) const;

    // The relay token's bytes as stored; none when there is no token.
    std::optional<Bytes> readStoredAgentToken() const;
};

} // namespace kestrava
