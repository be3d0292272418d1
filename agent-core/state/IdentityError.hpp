#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kestrava {

// Why the agent cannot obtain its identity; start-up stops on any of these.
class IdentityError : public std::runtime_error {
public:
    enum class Kind { keychainUnavailable, macKeyMissing, corruptMacKey, cannotStoreMacKey };

    static IdentityError keychainUnavailable(std::string account, std::int32_t status) {
        return IdentityError(Kind::keychainUnavailable, std::move(account), status, 0);
    }
    static IdentityError macKeyMissing(int pairedPhones) {
        return IdentityError(Kind::macKeyMissing, {}, 0, pairedPhones);
    }
    static IdentityError corruptMacKey() { return IdentityError(Kind::corruptMacKey, {}, 0, 0); }
    static IdentityError cannotStoreMacKey() { return IdentityError(Kind::cannotStoreMacKey, {}, 0, 0); }

    Kind kind() const noexcept { return kind_; }
    // The fields of keychainUnavailable; empty and 0 for the other cases.
    const std::string& account() const noexcept { return account_; }
    std::int32_t status() const noexcept { return status_; }
    // The field of macKeyMissing; 0 for the other cases.
    int pairedPhones() const noexcept { return pairedPhones_; }

    bool operator==(const IdentityError& other) const noexcept {
        return kind_ == other.kind_ && account_ == other.account_ && status_ == other.status_ &&
               pairedPhones_ == other.pairedPhones_;
    }

private:
    IdentityError(Kind kind, std::string account, std::int32_t status, int pairedPhones)
        : std::runtime_error(describe(kind, account, status, pairedPhones)), kind_(kind),
          account_(std::move(account)), status_(status), pairedPhones_(pairedPhones) {}

    static std::string describe(Kind kind, const std::string& account, std::int32_t status,
                                int pairedPhones) {
        switch (kind) {
        case Kind::keychainUnavailable:
            return "Keychain read of " + account + " failed with OSStatus " + std::to_string(status) +
                   " after retries";
        case Kind::macKeyMissing:
            return "macAgreeKey is missing from Keychain but this device has " +
                   std::to_string(pairedPhones) +
                   " paired phone(s); refusing to mint a new key (it would silently break every pairing). "
                   "Restore the Keychain item, or reset the agent and re-pair.";
        case Kind::corruptMacKey:
            return "macAgreeKey in Keychain is not a valid P-256 key (refusing to overwrite it)";
        case Kind::cannotStoreMacKey:
            return "cannot store a new macAgreeKey in Keychain";
        }
        return {};
    }

    Kind kind_;
    std::string account_;
    std::int32_t status_;
    int pairedPhones_;
};

} // namespace kestrava
