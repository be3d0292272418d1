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
// IdentityError when the agent cannot go on, and RegistrationRefused when it must not register a new
// device because phones are paired.
struct KeychainIdentity {
    // What start-up obtains.
    struct Loaded {
        crypto::P256PrivateKey macKey;
        // None: a new device is to be registered.
        std::optional<std::string> agentToken;
    };

    std::shared_ptr<SecretStore> store;
    int attempts = 5;
    // Blocks the calling thread.
    std::function<void(double seconds)> sleep = [](double seconds) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    };
    std::function<void(std::string_view message)> log = logError;

    // The key first, then the token, each read once. With phones paired and no device identifier neither
    // is read: there is no device the phones could be reached through.
    Loaded load(bool deviceExists, int pairedPhones) const;

    // The outcome of the last read; found and not found end the retries at once.
    SecretReadOutcome readWithRetry(std::string_view account) const;

    // The stored key, or a new one that is stored first. A missing key is not replaced while phones are
    // paired, and a stored key that does not parse is never overwritten: either would break the pairings.
    crypto::P256PrivateKey loadOrCreateMacKey(bool deviceExists, int pairedPhones) const;

    // The relay token; none when the device is not registered yet or a new one is to be registered
    // because the stored token is missing or unusable, which is refused while phones are paired.
    std::optional<std::string> readAgentToken(bool deviceExists, int pairedPhones) const;
};

} // namespace kestrava
