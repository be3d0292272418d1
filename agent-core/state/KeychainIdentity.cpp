#include "agent-core/state/KeychainIdentity.hpp"

#include "agent-core/state/IdentityError.hpp"
#include "agent-core/state/RegistrationRefused.hpp"
#include "protocol-kit/RelayToken.hpp"

#include <algorithm>

namespace kestrava {
namespace {

void throwIfFailed(std::string_view account, const SecretReadOutcome& outcome) {
    if (const auto* failed = std::get_if<SecretReadOutcome::Failed>(&outcome.value)) {
        throw IdentityError::keychainUnavailable(std::string(account), failed->status);
    }
}

} // namespace

KeychainIdentity::Loaded KeychainIdentity::load(bool deviceExists, int pairedPhones) const {
    if (!deviceExists && pairedPhones >= 1) {
        throw RegistrationRefused("config.json has no deviceId", pairedPhones);
    }
    auto macKey = loadOrCreateMacKey(deviceExists, pairedPhones);
    return {std::move(macKey), readAgentToken(deviceExists, pairedPhones)};
}

SecretReadOutcome KeychainIdentity::readWithRetry(std::string_view account) const {
    SecretReadOutcome outcome;
    double delay = 1.0;
    for (int attempt = 1; attempt <= std::max(attempts, 1); ++attempt) {
        outcome = store->read(account);
        const auto* failed = std::get_if<SecretReadOutcome::Failed>(&outcome.value);
        if (!failed) {
            return outcome;
        }
        log("Keychain read of " + std::string(account) + " failed (OSStatus " +
            std::to_string(failed->status) + "), attempt " + std::to_string(attempt) + "/" +
            std::to_string(attempts));
        if (attempt < attempts) {
            sleep(delay);
            delay *= 2;
        }
    }
    return outcome;
}

crypto::P256PrivateKey KeychainIdentity::loadOrCreateMacKey(bool deviceExists, int pairedPhones) const {
    const auto outcome = readWithRetry(macAgreeKeyAccount);
    throwIfFailed(macAgreeKeyAccount, outcome);
    if (const auto* found = std::get_if<SecretReadOutcome::Found>(&outcome.value)) {
        auto key = crypto::P256PrivateKey::fromRaw(found->data);
        if (!key) {
            throw IdentityError::corruptMacKey();
        }
        return *key;
    }
    if (deviceExists) {
        if (pairedPhones >= 1) {
            throw IdentityError::macKeyMissing(pairedPhones);
        }
        log("warning: macAgreeKey missing for existing device (no paired phones); creating a new key");
    }
    auto key = crypto::P256PrivateKey::generate();
    if (!store->write(macAgreeKeyAccount, key.raw())) {
        throw IdentityError::cannotStoreMacKey();
    }
    return key;
}

std::optional<std::string> KeychainIdentity::readAgentToken(bool deviceExists, int pairedPhones) const {
    if (!deviceExists) {
        return std::nullopt;
    }
    auto outcome = readWithRetry(agentTokenAccount);
    throwIfFailed(agentTokenAccount, outcome);
    const auto* found = std::get_if<SecretReadOutcome::Found>(&outcome.value);
    if (!found) {
        if (pairedPhones >= 1) {
            throw RegistrationRefused("agentToken missing from Keychain", pairedPhones);
        }
        log("config has a deviceId but no agentToken in Keychain; registering a new device");
        return std::nullopt;
    }
    // It goes into a request header: a line break in it would add headers of its own.
    auto token = textOf(found->data);
    if (const auto problem = relayTokenProblem(token)) {
        if (pairedPhones >= 1) {
            throw RegistrationRefused("agentToken in Keychain " + *problem, pairedPhones);
        }
        return std::nullopt;
    }
    return token;
}

} // namespace kestrava
