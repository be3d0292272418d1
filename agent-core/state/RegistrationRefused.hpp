#pragma once

#include <stdexcept>
#include <string>

namespace kestrava {

// The relay identity is incomplete while phones are paired. A new device would orphan them (their keys
// and signatures are bound to the device identifier), so the agent must not register one; what() is the
// line for the log.
class RegistrationRefused : public std::runtime_error {
public:
    // `cause` names what is missing or unusable: "agentToken missing from Keychain".
    RegistrationRefused(const std::string& cause, int pairedPhones)
        : std::runtime_error(cause + " but this device has " + std::to_string(pairedPhones) +
                             " paired phone(s); refusing to register a new device") {}
};

} // namespace kestrava
